// Ductora's reader of a manufacturer's product database (the SQLite model database of the
// tek family): duct series of the table "MAS" with their name (attribute 1501) and sizes
// (attribute 1502, "100;125" or "400x200;500x300").
#pragma once
#include <string>
#include "du_project.h"

// 0 with serie filled (id, name, sizes); -1 with error a sentence for the user when the
// file is not a product database or has no such serie.
int du_read_product_serie(const std::string& file, const std::string& serieId, DuSerie& serie,
                          std::string& error);
