#pragma once

struct CMifObject;

// The file interface through which the entry points drive a file. The slot order is fixed.
class CFeatureFile {
public:
    virtual int Open(const char* path) = 0;
    virtual int Create(const char* path) = 0;
    virtual void Close() = 0;
    virtual void Rewind() = 0;
    virtual void MoveNext() = 0;
    virtual int IsEof() = 0;
    virtual CMifObject* ReadObject() = 0;
    virtual int WriteObject(CMifObject* record) = 0;

protected:
    ~CFeatureFile() = default;
};
