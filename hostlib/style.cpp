#include "plugin/host/style.h"

#include <algorithm>
#include <cstring>

#include "hostlib/host_internal.h"

CXF_StyleElement::CXF_StyleElement(bool isFill, std::uint32_t fillColor) : fill(isFill) {
    fillPart.SetColor(fillColor);
}

CXF_StyleElement::CXF_StyleElement(const CXF_StyleElement& other)
    : fill(other.fill), fillPart(other.fillPart), outline(other.outline) {
    if (outline != nullptr) {
        outline->AddRef();
    }
}

CXF_StyleElement& CXF_StyleElement::operator=(const CXF_StyleElement& other) {
    if (this != &other) {
        fill = other.fill;
        fillPart = other.fillPart;
        SetStyleObject(other.outline);
    }
    return *this;
}

CXF_StyleElement::~CXF_StyleElement() {
    if (outline != nullptr) {
        outline->Release();
    }
}

void CXF_StyleElement::SetStyleObject(CXF_StyleObject* style) {
    if (style != nullptr) {
        style->AddRef();
    }
    if (outline != nullptr) {
        outline->Release();
    }
    outline = style;
}

CXF_StylePolygon::CXF_StylePolygon(const CXF_StylePolygon& other) {
    *this = other;
}

CXF_StylePolygon& CXF_StylePolygon::operator=(const CXF_StylePolygon& other) {
    if (this != &other) {
        owner = other.owner;
        // Elements already there are assigned in place: a recycled style allocates nothing.
        size_t kept = std::min(elements.size(), other.elements.size());
        elements.resize(kept);
        for (size_t i = 0; i < kept; ++i) {
            *elements[i] = *other.elements[i];
        }
        for (size_t i = kept; i < other.elements.size(); ++i) {
            elements.push_back(std::make_unique<CXF_StyleElement>(*other.elements[i]));
        }
    }
    return *this;
}

CXF_StyleElement* CXF_StylePolygon::GetElement(int i) {
    if (i < 0 || i >= GetCount()) {
        return nullptr;
    }
    return elements[static_cast<size_t>(i)].get();
}

const CXF_StyleElement* CXF_StylePolygon::GetElement(int i) const {
    if (i < 0 || i >= GetCount()) {
        return nullptr;
    }
    return elements[static_cast<size_t>(i)].get();
}

CXF_StyleElement* CXF_StylePolygon::AddElement(bool fill, std::uint32_t fillColor) {
    // Each element has storage of its own, so that a pointer handed out stays valid.
    elements.push_back(std::make_unique<CXF_StyleElement>(fill, fillColor));
    return elements.back().get();
}

CXF_StyleObject::CXF_StyleObject() {
    std::uint64_t serial = NextStyleSerial();
    for (int i = 0; i < 8; ++i) {
        identifier[i] = static_cast<unsigned char>(serial >> (8 * i));
    }
    std::memcpy(identifier + 8, "fncStyle", 8);
    AttachFaces();
}

CXF_StyleObject::~CXF_StyleObject() = default;

void CXF_StyleObject::AttachFaces() {
    line.owner = this;
    marker.owner = this;
    polygon.owner = this;
    text.owner = this;
}

CXF_StyleObject* CXF_StyleObject::Create(const char* styleName) {
    CXF_StyleObject* style = new CXF_StyleObject();
    style->SetName(styleName);
    return style;
}

CXF_StyleObject* CXF_StyleObject::Clone() const {
    CXF_StyleObject* copy = new CXF_StyleObject();
    copy->CopyContent(*this);
    return copy;
}

void CXF_StyleObject::CopyContent(const CXF_StyleObject& from) {
    std::memcpy(identifier, from.identifier, sizeof identifier);
    name = from.name;
    uintValue = from.uintValue;
    intValue = from.intValue;
    line = from.line;
    marker = from.marker;
    polygon = from.polygon;
    text = from.text;
    AttachFaces();
}

int CXF_StyleObject::AddRef() {
    return ++refCount;
}

int CXF_StyleObject::Release() {
    int left = --refCount;
    if (left == 0) {
        delete this;
    } else if (left == 1 && ownerSet != nullptr && !isShared) {
        ownerSet->Drop(this);  // only the set holds it now: nobody can reach it any more
        left = 0;
    }
    return left;
}

bool CXF_StyleObject::SameIdentifier(const CXF_StyleObject* a, const CXF_StyleObject* b) {
    return a != nullptr && b != nullptr &&
           std::memcmp(a->identifier, b->identifier, XF_STYLE_ID_SIZE) == 0;
}

namespace {

void HashBytes(std::uint64_t& h, const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        h = (h ^ p[i]) * 1099511628211ull;
    }
}

template <typename T>
void HashValue(std::uint64_t& h, const T& value) {
    HashBytes(h, &value, sizeof value);
}

bool SameElements(const CXF_StyleElement& a, const CXF_StyleElement& b) {
    return a.IsFill() == b.IsFill() && a.GetColor() == b.GetColor() &&
           a.GetStyleObject() == b.GetStyleObject();
}

}  // namespace

bool CXF_StyleObject::SameContent(const CXF_StyleObject& o) const {
    if (!SameIdentifier(this, &o) || name != o.name || uintValue != o.uintValue ||
        intValue != o.intValue || line.dashes != o.line.dashes || line.visible != o.line.visible ||
        marker.shape != o.marker.shape || polygon.elements.size() != o.polygon.elements.size()) {
        return false;
    }
    for (std::size_t i = 0; i < polygon.elements.size(); ++i) {
        if (!SameElements(*polygon.elements[i], *o.polygon.elements[i])) {
            return false;
        }
    }
    const CXF_StyleText& t = text;
    const CXF_StyleText& u = o.text;
    return t.faceName == u.faceName && t.settingA == u.settingA && t.settingB == u.settingB &&
           t.flags == u.flags && t.alignment == u.alignment &&
           t.shadow.GetColor() == u.shadow.GetColor() &&
           t.shadow.GetOffsetX() == u.shadow.GetOffsetX() &&
           t.shadow.GetOffsetY() == u.shadow.GetOffsetY();
}

std::size_t CXF_StyleObject::ContentHash() const {
    // 64-bit FNV-1a, cut to the width of size_t in 32-bit builds.
    std::uint64_t h = 14695981039346656037ull;
    HashBytes(h, identifier, sizeof identifier);
    HashValue(h, uintValue);
    HashValue(h, intValue);
    HashValue(h, marker.shape);
    for (const auto& e : polygon.elements) {
        HashValue(h, e->GetColor());
        HashValue(h, e->IsFill());
    }
    HashValue(h, text.flags);
    HashValue(h, text.alignment);
    HashBytes(h, text.faceName.data(), text.faceName.size());
    return static_cast<std::size_t>(h);
}

CXF_StyleSet::~CXF_StyleSet() {
    for (CXF_StyleObject* style : styles) {
        style->ownerSet = nullptr;
        style->Release();
    }
    for (CXF_StyleObject* style : spares) {
        delete style;
    }
}

CXF_StyleObject* CXF_StyleSet::Add(CXF_StyleObject* source) {
    if (source == nullptr) {
        return nullptr;
    }
    CXF_StyleObject* copy = nullptr;
    if (!spares.empty()) {
        // A copy freed earlier is filled again, its strings and lists reused; it takes a serial
        // number as a new one would, so later identifiers stay as they were.
        copy = spares.back();
        spares.pop_back();
        NextStyleSerial();
        copy->CopyContent(*source);
        copy->refCount = 1;
        copy->isShared = false;
    } else {
        copy = source->Clone();
    }
    copy->ownerSet = this;
    copy->setIndex = styles.size();
    styles.push_back(copy);
    return copy;
}

CXF_StyleObject* CXF_StyleSet::Share(CXF_StyleObject* style) {
    if (style == nullptr || style->isShared || style->ownerSet != this) {
        return style;
    }
    std::size_t hash = style->ContentHash();
    auto range = shared.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second->SameContent(*style)) {
            return it->second;
        }
    }
    style->isShared = true;
    shared.emplace(hash, style);
    return style;
}

void CXF_StyleSet::Drop(CXF_StyleObject* style) {
    CXF_StyleObject* last = styles.back();
    styles[style->setIndex] = last;
    last->setIndex = style->setIndex;
    styles.pop_back();
    style->ownerSet = nullptr;
    if (spares.size() < kMaxSpares && style->refCount == 1) {
        // Nobody holds it: kept for the next Add instead of freed (an import adds one per object).
        style->refCount = 0;
        spares.push_back(style);
        return;
    }
    style->Release();
}

CXF_StyleObject* CXF_StyleSet::GetAt(int i) {
    if (i < 0 || i >= GetCount()) {
        return nullptr;
    }
    return styles[static_cast<size_t>(i)];
}

namespace {

void Replace(CXF_StyleObject*& slot, CXF_StyleObject* style) {
    if (slot != nullptr) {
        slot->Release();
    }
    slot = style;
}

// Entry i of the standard list: 0 draws nothing, 1 is solid, 2 to 117 are dashed with a dash of
// 2 + 2 * (i % 8) pixels and a gap of 2 + 2 * ((i / 8) % 4); every odd entry from 34 on adds a
// dot after the dash. Width factor 1 throughout.
CXF_StyleObject* MakeStandardPattern(int i) {
    CXF_StyleObject* style = CXF_StyleObject::Create();
    style->SetName(("Line pattern " + std::to_string(i)).c_str());
    style->SetIntValue(1);
    if (i == 0) {
        style->GetLine()->SetVisible(false);
    } else if (i >= 2) {
        double dash = 2.0 + 2.0 * (i % 8);
        double gap = 2.0 + 2.0 * ((i / 8) % 4);
        std::vector<double> dashes{dash, gap};
        if (i >= 34 && i % 2 == 1) {
            dashes.push_back(1.0);
            dashes.push_back(gap);
        }
        style->GetLine()->SetDashes(std::move(dashes));
    }
    return style;
}

}  // namespace

CXF_ManagerVectorStyle::CXF_ManagerVectorStyle(bool standard) {
    if (!standard) {
        return;
    }
    for (int i = 0; i < XF_LINE_PATTERN_DEFINED; ++i) {
        SetLinePattern(i, MakeStandardPattern(i));
    }
    defaultLine = (*patterns)[1];
    defaultLine->AddRef();

    defaultMarker = CXF_StyleObject::Create("Default marker");
    defaultPolygon = CXF_StyleObject::Create("Default polygon");
    // A fill part without colour: a polygon is drawn hollow until its fill is given a colour.
    defaultPolygon->GetPolygon()->AddElement(true, XF_NO_COLOR);
    defaultText = CXF_StyleObject::Create("Default text");
}

CXF_ManagerVectorStyle::~CXF_ManagerVectorStyle() {
    Replace(defaultLine, nullptr);
    Replace(defaultMarker, nullptr);
    Replace(defaultPolygon, nullptr);
    Replace(defaultText, nullptr);
    RemoveLinePatterns();
}

const std::vector<CXF_StyleObject*>* CXF_ManagerVectorStyle::GetLinePatterns() const {
    return patterns.get();
}

void CXF_ManagerVectorStyle::SetDefaultLineStyle(CXF_StyleObject* style) {
    Replace(defaultLine, style);
}
void CXF_ManagerVectorStyle::SetDefaultMarkerStyle(CXF_StyleObject* style) {
    Replace(defaultMarker, style);
}
void CXF_ManagerVectorStyle::SetDefaultPolygonStyle(CXF_StyleObject* style) {
    Replace(defaultPolygon, style);
}
void CXF_ManagerVectorStyle::SetDefaultTextStyle(CXF_StyleObject* style) {
    Replace(defaultText, style);
}

void CXF_ManagerVectorStyle::SetLinePattern(int i, CXF_StyleObject* style) {
    if (i < 0 || i >= XF_LINE_PATTERN_COUNT) {
        if (style != nullptr) {
            style->Release();  // the caller handed its reference over
        }
        return;
    }
    if (!patterns) {
        patterns = std::make_unique<std::vector<CXF_StyleObject*>>(
            static_cast<size_t>(XF_LINE_PATTERN_COUNT), nullptr);
    }
    Replace((*patterns)[static_cast<size_t>(i)], style);
}

void CXF_ManagerVectorStyle::RemoveLinePatterns() {
    if (patterns) {
        for (CXF_StyleObject*& style : *patterns) {
            Replace(style, nullptr);
        }
        patterns.reset();
    }
}
