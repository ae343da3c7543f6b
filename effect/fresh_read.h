// A float field read from memory each time it is asked for, never from a
// copy the compiler kept: a host may write the field between two samples,
// and the next sample must see it.
#pragma once

inline float readFresh(const float& field) { return *static_cast<const volatile float*>(&field); }
