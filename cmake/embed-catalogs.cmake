# Writes OUTPUT, a C++ source that holds the compiled catalogs DIR/NAME.mo
# for each NAME of NAMES (comma-separated) as byte arrays, in that order.
# Run by cmake/catalogs.cmake at build time.
string(REPLACE "," ";" names "${NAMES}")
set(arrays "")
set(table "")
set(i 0)
foreach(name IN LISTS names)
  file(READ ${DIR}/${name}.mo hex HEX)
  string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const unsigned char kCatalog${i}[] = {\n${bytes}};\n")
  string(APPEND table "    {\"${name}\", kCatalog${i}, sizeof kCatalog${i}},\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE ${OUTPUT}
"// Made from po/ by cmake/embed-catalogs.cmake at build time.
#include \"language/language.h\"

namespace tarnvell {
namespace {
${arrays}}  // namespace

const CatalogData kCatalogs[] = {
${table}};
const size_t kCatalogCount = sizeof kCatalogs / sizeof kCatalogs[0];

}  // namespace tarnvell
")
