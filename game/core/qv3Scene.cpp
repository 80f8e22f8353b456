#include "game/core/qv3Scene.h"

#include <cstddef>

namespace qv {

namespace {
bool ValidLayer(int layer) { return layer >= 0 && layer < TCustomScene::kLayerCount; }
}  // namespace

void TCustomScene::Add(int layer, TCustomSceneElement* element) {
    std::unique_ptr<TCustomSceneElement> owned(element);
    if (!ValidLayer(layer) || !owned) return;
    layers_[layer].push_back(std::move(owned));
}

void TCustomScene::Remove(int layer, int index) {
    if (!ValidLayer(layer)) return;
    auto& list = layers_[layer];
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) return;
    list.erase(list.begin() + index);
}

void TCustomScene::Clear() {
    // Elements may add others while they are freed; take each layer out first.
    for (auto& layer : layers_) {
        auto old = std::move(layer);
        layer.clear();
        old.clear();
    }
}

void TCustomScene::AnimateLayer(int layer) {
    if (!ValidLayer(layer)) return;
    auto& list = layers_[layer];
    // By index: an element may append to this very layer (an effect making
    // its particles), which can move the list's storage.
    for (std::size_t i = list.size(); i-- > 0;) {
        if (i >= list.size()) continue;
        if (!list[i]->Animate()) list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void TCustomScene::Animate() {
    for (int layer = 0; layer < kLayerCount; ++layer) AnimateLayer(layer);
}

void TCustomScene::Draw() {
    for (auto& list : layers_) {
        for (std::size_t i = list.size(); i-- > 0;) list[i]->Draw();
    }
}

int TCustomScene::Count(int layer) const {
    return ValidLayer(layer) ? static_cast<int>(layers_[layer].size()) : 0;
}

TCustomSceneElement* TCustomScene::Element(int layer, int index) const {
    if (!ValidLayer(layer) || index < 0 || index >= Count(layer)) return nullptr;
    return layers_[layer][static_cast<std::size_t>(index)].get();
}

}  // namespace qv
