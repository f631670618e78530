#pragma once

// libtifiles and libticonv, whose C headers use the C keyword "restrict".

#define restrict __restrict
#include <ticonv.h>
#include <tifiles.h>
#undef restrict
