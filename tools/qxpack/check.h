// qxpack check DIR|PACK: the show's items as the program would find them in a
// content folder or a pack, each checked; returns the exit status.
#pragma once

#include <string>

int check_content(const std::string& path);
