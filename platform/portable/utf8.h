// utf8.h: conversion between wide screen text and the UTF-8 of files and the terminal.
#pragma once

#include <string>

std::string WideToUtf8(const std::wstring &text);
// Malformed bytes become U+FFFD.
std::wstring Utf8ToWide(const std::string &text);
