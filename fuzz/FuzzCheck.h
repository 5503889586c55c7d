#pragma once
// A property of a fuzz target: when it does not hold, say which and abort, so libFuzzer keeps
// the input and the replay test fails.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition) \
    ((condition) ? void() : (std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition), std::abort()))
