// GDI+ with what its headers need under WIN32_LEAN_AND_MEAN: include this, never gdiplus.h.
#pragma once

#include <windows.h>

#include <objidl.h>
#include <propidl.h>

#include <gdiplus.h>
