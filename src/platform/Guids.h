#pragma once

// New identities for elements and documents.

#include <string>
#include <string_view>

// 16 random bytes as Base64 with "-" and "_" for "+" and "/" and no padding: 22 characters.
std::string NewElementGuid();
// 16 random bytes as 32 upper-case hexadecimal digits.
std::string NewDocumentGuid();
// Base64 of any bytes in the element-guid alphabet, without padding.
std::string EncodeBase64Url(std::string_view bytes);
