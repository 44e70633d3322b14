// The show's items for makers: qxpack check DIR|PACK looks each up as the
// program would in a content folder or a pack and checks it; qxpack items
// prints the table of them (the one docs/content.md shows); qxpack sheet
// draws what it finds on one contact sheet. Each returns the exit status.
#pragma once

#include "data/pack.h"

#include <string>

int check_content(const std::string& path);
int print_items_table();
int sheet_command(const std::string& path, const std::string& png_path);
// What would keep the show from using data as the named item (wrong size or
// kind, a model the reader rejects); empty when nothing would, or when the
// show reads no item of that name.
std::string item_problem(const std::string& name, const Buffer& data);
