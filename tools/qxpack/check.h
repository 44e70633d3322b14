// The show's items for makers: qxpack check DIR|PACK looks each up as the
// program would in a content folder or a pack and checks it; qxpack items
// prints the table of them (the one docs/content.md shows). Both return the
// exit status.
#pragma once

#include <string>

int check_content(const std::string& path);
int print_items_table();
