#pragma once

#include <cstdint>

class Cgeo_MainApp;
class CXF_ManagerVectorStyle;
class CXF_StyleObject;

// The host's first 128 line styles, shared by import and export: entry i stands for MIF pen
// pattern i+1. Built once per process from the host's style manager, then only read.
constexpr int kLineStyleCount = 128;

struct CLineStyleTable {
    CXF_StyleObject* styles[kLineStyleCount] = {};  // references held by the table, or null
    double widthFactors[kLineStyleCount] = {};
    bool built = false;
};

// The process's table.
const CLineStyleTable& LineStyleTable();

// Builds the table from the application's style manager the first time; later calls do nothing.
void BuildLineStyleTable(Cgeo_MainApp* app);
// Builds it again from the given manager (tests of other managers; null empties the table).
void RebuildLineStyleTable(CXF_ManagerVectorStyle* manager);

// The host line width of a MIF pen: width times the pattern's width factor, halves rounded up;
// 1 for a pattern of 128 or more.
int32_t ScalePenWidth(int32_t width, int32_t pattern);
// The host line style of a MIF pen pattern, or null (the caller then uses the default style).
CXF_StyleObject* GetLinePatternStyle(int32_t pattern);
