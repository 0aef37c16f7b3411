#pragma once

// Documents the benchmarks share.

#include <string>

// A native document of count topics in a tree where every topic has up to eight children, placed on a grid of 1000
// columns, with notes on every tenth.
std::string MakeDocument(int count);
