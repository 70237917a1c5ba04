// utf8.h: conversion between wide screen text and the UTF-8 of files, the terminal and diagnostic lines, the same on
// both front ends.
#pragma once

#include <string>

// Wide characters are UTF-16 on Windows (surrogate pairs are joined) and UTF-32 elsewhere; what is not a character
// (a lone surrogate, a value beyond U+10FFFF) becomes U+FFFD.
std::string WideToUtf8(const std::wstring &text);
// Malformed bytes become U+FFFD.
std::wstring Utf8ToWide(const std::string &text);
