#pragma once

#include "core/operation_result.h"

#include <QString>
#include <QStringList>
#include <vector>

// What became of files imported into the slots from `first_slot` (0-based) on: a line
// per file with its slot and result, the result's detail under it, and a last line
// naming the files no slot was left for.
QString song_import_report(int first_slot, const QStringList& paths,
                           const std::vector<COperationResult>& results, const QStringList& past_end);
