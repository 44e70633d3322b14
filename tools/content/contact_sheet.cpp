#include "content.h"

bool write_contact_sheet(const std::string&, const std::string&) { return true; }
