#pragma once

// Marks the module's entry functions as its only exports; everything else is compiled hidden.

#if defined(_WIN32)
#define ONDREL_EXPORT extern "C" __declspec(dllexport)
#else
#define ONDREL_EXPORT extern "C" __attribute__((visibility("default")))
#endif
