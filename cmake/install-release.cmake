# The last step of `cmake --install` of a release build (cmake/shipping.cmake), once the programs
# are in place: the licence and the third-party notices, with Windows' line ends so that any
# Notepad shows their lines, and SHA256SUMS over the programs and both texts, one
# "HASH  NAME" line each, as `sha256sum -c SHA256SUMS` reads it in that folder.
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
foreach(text LICENSE THIRD-PARTY-NOTICES.txt)
  file(READ "${LAUNCHER_SOURCE_DIR}/${text}" content)
  string(REPLACE "\r\n" "\n" content "${content}")
  string(REPLACE "\n" "\r\n" content "${content}")
  message(STATUS "Installing: ${folder}/${text}")
  file(WRITE "${folder}/${text}" "${content}")
endforeach()
set(sums "")
foreach(file IN LISTS LAUNCHER_PROGRAMS ITEMS LICENSE THIRD-PARTY-NOTICES.txt)
  file(SHA256 "${folder}/${file}" hash)
  string(APPEND sums "${hash}  ${file}\n")
endforeach()
message(STATUS "Installing: ${folder}/SHA256SUMS")
file(WRITE "${folder}/SHA256SUMS" "${sums}")
