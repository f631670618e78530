# SPDX-License-Identifier: GPL-3.0-or-later
# The product's name and version: the one place both programs, their packages, tests and scripts
# take them from (pictrane/Product.h, and product.sh in the build tree for the scripts).
include_guard(GLOBAL)
set(PICTRANE_TITLE "Pictrane Converter")
set(PICTRANE_VERSION 1.1.0)

string(REPLACE "." ";" pictrane_parts ${PICTRANE_VERSION})
list(APPEND pictrane_parts 0 0 0)
list(GET pictrane_parts 0 PICTRANE_VERSION_MAJOR)
list(GET pictrane_parts 1 PICTRANE_VERSION_MINOR)
list(GET pictrane_parts 2 PICTRANE_VERSION_PATCH)
list(GET pictrane_parts 3 PICTRANE_VERSION_TWEAK)
set(PICTRANE_CAPTION "${PICTRANE_TITLE} ${PICTRANE_VERSION_MAJOR}.${PICTRANE_VERSION_MINOR}")
