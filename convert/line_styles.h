#pragma once

#include <cstdint>

class Cgeo_MainApp;
class CXF_ManagerVectorStyle;
class CXF_StyleObject;

// The host's first 128 line styles, shared by import and export: entry i stands for MIF pen
// pattern i+1. Built once per process from the host's style manager, then only read.
constexpr int kLineStyleCount = 128;

// Builds the table from the application's style manager the first time; later calls do nothing.
void BuildLineStyleTable(Cgeo_MainApp* app);
// Builds it again from the given manager (tests of other managers; null empties the table).
void RebuildLineStyleTable(CXF_ManagerVectorStyle* manager);

// The host line width of a MIF pen: width times the pattern's width factor, halves rounded up;
// 1 for a pattern of 128 or more.
int32_t ScalePenWidth(int32_t width, int32_t pattern);
// The host line style of a MIF pen pattern, or null (the caller then uses the default style).
CXF_StyleObject* GetLinePatternStyle(int32_t pattern);
// The reverse: the MIF pen pattern (1 to 128) of the table's entry with the style's identifier,
// or 0 when no entry has it.
int32_t FindLinePattern(const CXF_StyleObject& style);
