// Process-wide single instances: a second construction is reported and leaves the
// first instance in place.
#pragma once

#include "Common/Base.h"

namespace Volux {

template <class T>
class Singleton {
public:
    static T* Instance() { return sSingleton; }

    Singleton(const Singleton&) = delete;
    Singleton& operator=(const Singleton&) = delete;

protected:
    Singleton() {
        if (VOLUX_CHECK(u"Common/Singleton", sSingleton == _null))
            sSingleton = static_cast<T*>(this);
    }
    ~Singleton() {
        if (sSingleton == static_cast<T*>(this))
            sSingleton = nullptr;
    }

private:
    static inline T* sSingleton = nullptr;
};

} // namespace Volux
