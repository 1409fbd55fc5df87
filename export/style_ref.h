#pragma once

#include <memory>

#include "plugin/host/style.h"

// A reference to a host style object handed out by a style record's GetStyle, released when the
// holder goes (also when a conversion is left by an exception).
struct CStyleRelease {
    void operator()(CXF_StyleObject* style) const { style->Release(); }
};
using CStyleRef = std::unique_ptr<CXF_StyleObject, CStyleRelease>;

// Takes over the reference to the style object of a record's face; null faces hold nothing.
template <typename Face>
CStyleRef HoldStyle(Face* face) {
    return CStyleRef(face != nullptr ? face->GetStyleObject() : nullptr);
}
