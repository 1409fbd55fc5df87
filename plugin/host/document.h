#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "plugin/host/host_api.h"

class Cgeo_Vector;
class Cgeo_Text;

// Name of the integer layer attribute that holds a layer's group.
constexpr const char* XF_LAYER_GROUP_ATTRIBUTE = "Группа";

// The class name a layer is registered under ("VECTOR", "TEXT").
class FNC_API Cgeo_RegisterClass {
public:
    explicit Cgeo_RegisterClass(std::string className) : name(std::move(className)) {}
    int IsClass(const char* className) const;
    const char* GetName() const { return name.c_str(); }

private:
    std::string name;
};

class FNC_API Cgeo_AttributeValue {
public:
    int GetInt() const { return intValue; }
    void SetInt(int value) { intValue = value; }

private:
    int intValue = 0;
};

// Named layer attributes, such as the integer layer group "Группа".
class FNC_API Cgeo_Attributes {
public:
    // The attribute of that name, or null.
    Cgeo_AttributeValue* Item(const char* name);
    void SetInt(const char* name, int value);

private:
    // A deque, so that a value handed out by Item stays valid while more are set.
    std::deque<std::pair<std::string, Cgeo_AttributeValue>> items;
};

class FNC_API Cgeo_Layer {
public:
    explicit Cgeo_Layer(const char* className);
    ~Cgeo_Layer();
    Cgeo_Layer(const Cgeo_Layer&) = delete;
    Cgeo_Layer& operator=(const Cgeo_Layer&) = delete;

    // Vector contents of a "VECTOR" layer, text contents of a "TEXT" layer; null otherwise.
    Cgeo_Vector* GetVector() { return vector.get(); }
    Cgeo_Text* GetText() { return text.get(); }
    Cgeo_RegisterClass* GetRegisterClass() { return &registerClass; }
    Cgeo_Attributes* GetAttributes() { return &attributes; }

    bool IsActive() const { return active; }
    void SetActive(bool value) { active = value; }

private:
    Cgeo_RegisterClass registerClass;
    Cgeo_Attributes attributes;
    std::unique_ptr<Cgeo_Vector> vector;
    std::unique_ptr<Cgeo_Text> text;
    bool active = false;
};

class FNC_API Cgeo_Layers {
public:
    // Index of the first active layer of the class; negative when none is.
    int GetLayerActive(const char* className);
    int GetNumberLayers() const { return static_cast<int>(layers.size()); }
    // Layer i, or null outside the list.
    Cgeo_Layer* GetLayer(int i);

    // Adds a layer of the class ("VECTOR" layers get vector contents, "TEXT" layers text
    // contents) and returns its index.
    int AddLayer(const char* className, bool active = false);
    // The same, and sets the layer's integer attribute "Группа" (its layer group) to group.
    int AddLayer(const char* className, bool active, int group);

private:
    std::vector<std::unique_ptr<Cgeo_Layer>> layers;
};

class FNC_API Cgeo_Document {
public:
    Cgeo_Layers* GetLayers() { return &layers; }
    // The flag that the host sets when the user cancels a long operation.
    int* GetCanceledSignal() { return &canceled; }

private:
    Cgeo_Layers layers;
    int canceled = 0;
};
