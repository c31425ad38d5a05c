#pragma once
// Builds large catalogues for benchmarks: COUNT records with realistic text lengths
// (names, makers, paths, versions, copyrights), the reference lists filled, keys
// spread over them. Deterministic for a given SEED.

#include <QString>

void GenerateCatalogue(const QString& path, int count, quint32 seed = 1);
