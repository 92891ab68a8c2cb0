// Page 0: the magic text, the version byte, and a masked area holding the
// code page, the encoding key (0: pages are not encrypted), the password
// (none) and, from Jet4 on, the creation date.
#pragma once

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/schema.h"

namespace dbbuilder {

ByteVector HeaderPage(const Layout& layout, int code_page, DateTime created);

}  // namespace dbbuilder
