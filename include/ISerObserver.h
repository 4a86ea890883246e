#pragma once
// Observer whose pointers a channel keeps in a list; no operation of it is ever called.
class ISerObserver {
public:
    virtual void Notify(int /*event*/) {}
};
