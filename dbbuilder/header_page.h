// Page 0: the magic text, the version byte, and a masked area holding the
// code page, the encoding key (0: pages are not encrypted), the database
// password (empty: none) and, from Jet4 on, the creation date.
#pragma once

#include <string>

#include "dbbuilder/byte_writer.h"
#include "dbbuilder/format.h"
#include "dbbuilder/schema.h"

namespace dbbuilder {

// A password in an ACE file is refused (kUnsupported): there the desktop
// program encrypts the pages instead, which this header does not say; one
// that does not fit the field is kInvalidArgument.
jet::Result<ByteVector> HeaderPage(const Layout& layout, int code_page, DateTime created,
                                   const std::string& password = "");

}  // namespace dbbuilder
