#include "plugin/host/document.h"

#include <cstring>

#include "plugin/host/text.h"
#include "plugin/host/vector.h"

int Cgeo_RegisterClass::IsClass(const char* className) const {
    return className != nullptr && name == className ? 1 : 0;
}

Cgeo_AttributeValue* Cgeo_Attributes::Item(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    for (auto& item : items) {
        if (item.first == name) {
            return &item.second;
        }
    }
    return nullptr;
}

void Cgeo_Attributes::SetInt(const char* name, int value) {
    Cgeo_AttributeValue* item = Item(name);
    if (item == nullptr) {
        items.emplace_back(name, Cgeo_AttributeValue());
        item = &items.back().second;
    }
    item->SetInt(value);
}

Cgeo_Layer::Cgeo_Layer(const char* className) : registerClass(className ? className : "") {
    if (registerClass.IsClass("VECTOR")) {
        vector = std::make_unique<Cgeo_Vector>();
    } else if (registerClass.IsClass("TEXT")) {
        text = std::make_unique<Cgeo_Text>();
    }
}

Cgeo_Layer::~Cgeo_Layer() = default;

int Cgeo_Layers::GetLayerActive(const char* className) {
    for (size_t i = 0; i < layers.size(); ++i) {
        if (layers[i]->IsActive() && layers[i]->GetRegisterClass()->IsClass(className)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Cgeo_Layer* Cgeo_Layers::GetLayer(int i) {
    if (i < 0 || i >= GetNumberLayers()) {
        return nullptr;
    }
    return layers[static_cast<size_t>(i)].get();
}

int Cgeo_Layers::AddLayer(const char* className, bool active) {
    layers.push_back(std::make_unique<Cgeo_Layer>(className));
    layers.back()->SetActive(active);
    return static_cast<int>(layers.size()) - 1;
}

int Cgeo_Layers::AddLayer(const char* className, bool active, int group) {
    int index = AddLayer(className, active);
    layers.back()->GetAttributes()->SetInt(XF_LAYER_GROUP_ATTRIBUTE, group);
    return index;
}
