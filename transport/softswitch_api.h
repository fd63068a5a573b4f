// Import/export of the host's signalling module, softswitch.dll.
#pragma once
#ifdef SOFTSWITCH_BUILD
#define SOFTSWITCH_API __declspec(dllexport)
#else
#define SOFTSWITCH_API __declspec(dllimport)
#endif
