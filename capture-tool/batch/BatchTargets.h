// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where the batch conversion writes, and the writes it refuses before anything is read: no
// output may replace an input, another output of the run or a file that is not a calculator file
// (HoldsOtherFile, CalcFile.h). Files are compared as the system knows them, so two spellings of
// one file, links included, are the same file.

#include <QString>
#include <vector>

#include "batch/BatchConvert.h"

namespace pictrane::capture {

// The group file Options names, with the model's group extension when it has none.
QString GroupPath(const BatchOptions& Options);

// Beside the file, named the way the file was given ("a.png" gives "a.89i", not "./a.89i").
QString PicturePath(const BatchOptions& Options, const QString& File);

// Why the group file may not be written where Options says, or an empty string.
QString GroupProblem(const BatchOptions& Options);

// For each of Options.Files, why its output (its picture, or the group) may not be written, or an
// empty string. Targets holds each file's picture path; it is not used for a group.
std::vector<QString> RefusedOutputs(const BatchOptions& Options,
                                    const std::vector<QString>& Targets);

}  // namespace pictrane::capture
