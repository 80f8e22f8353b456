// The scene: decorative elements that live beside the level logic and never
// touch its rules, in three layers of owned elements: 0 effects and their
// particles, 1 bubbles, 2 menu creatures. The core animates it once per tick
// and draws it once per frame, after the scenery and before the logic's
// sprites. Main thread only.
#pragma once

#include <memory>
#include <vector>

namespace qv {

class TCustomSceneElement {
public:
    virtual ~TCustomSceneElement() = default;
    virtual void Draw() = 0;
    // False once the element is finished.
    virtual bool Animate() = 0;
};

class TCustomScene {
public:
    static constexpr int kLayerCount = 3;

    TCustomScene() = default;
    TCustomScene(const TCustomScene&) = delete;
    TCustomScene& operator=(const TCustomScene&) = delete;

    // Appends `element` to `layer` (0..2) and takes it over; a layer outside
    // the range frees it.
    void Add(int layer, TCustomSceneElement* element);
    // Frees the element at `index` of `layer`; nothing for an index outside.
    void Remove(int layer, int index);
    // Frees every element of every layer.
    void Clear();
    // Animates the layer's elements from the last to the first; one that
    // returns false is removed and freed at once. Elements added to the layer
    // meanwhile are not animated in this pass.
    void AnimateLayer(int layer);
    // Layers 0, 1, 2.
    void Animate();
    // Layers 0, 1, 2, each from its last element to its first.
    void Draw();

    int Count(int layer) const;
    TCustomSceneElement* Element(int layer, int index) const;

private:
    std::vector<std::unique_ptr<TCustomSceneElement>> layers_[kLayerCount];
};

}  // namespace qv
