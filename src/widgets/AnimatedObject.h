#pragma once

// Anything a fade drives: told the progress from 0 to 1 at each step.
class AnimatedObject {
public:
    virtual ~AnimatedObject() = default;
    virtual void doAnimate(double progress) = 0;
};
