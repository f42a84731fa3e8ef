#pragma once

#include <QDataStream>
#include <QVariant>

// Reads one QVariant from a peer's stream like `in >> value`, but reads container
// variants (lists, string lists, byte-array lists, maps, hashes) itself with every count
// checked against the bytes left, because Qt's own reader reserves the count it reads
// and a hostile count aborts the process. Named user types are refused.
void readBoundedVariant(QDataStream& in, QVariant& value, int depth = 0);
