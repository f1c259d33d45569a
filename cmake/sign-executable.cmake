# Signs one executable in place, then verifies the signature; run after linking by cmake -P with
# EXE and PARAMETERS, the file that cmake/signing.cmake wrote (osslsigncode, the key's arguments,
# the trusted certificates, the description, the site, the time or the timestamp server, and the
# verification's options: the pinned signer, and no fetching of revocation lists).
# The executable is replaced only by a signed copy that verifies. When signing or verifying fails,
# the unsigned executable is removed too: the build fails, nothing unsigned stands where a signed
# program is expected, and the next build links and signs it again.
#
# With COPY set, a copy of the signed file is left there too: makensis signs the game's uninstaller
# this way and then keeps it only inside the installer.
#
# Configure runs it too, on a probe program, with PROBE_LOG set: the probe asks no timestamp
# server, and what osslsigncode said is written to PROBE_LOG, unwrapped, for configure to read.
include("${PARAMETERS}")
set(signed "${EXE}.signed")
file(REMOVE "${signed}")
if(DEFINED PROBE_LOG)
  set(when "")
elseif(TIMESTAMP_URL STREQUAL "")
  set(when -time ${TIME})
else()
  set(when -ts ${TIMESTAMP_URL})
endif()
# The key: on a token, or in a .pfx. A URI may hold semicolons, which a CMake list would split, so
# it is passed quoted, never through a list.
if(DEFINED KEY_URI)
  execute_process(COMMAND "${OSSLSIGNCODE}" sign -pkcs11module "${PKCS11_MODULE}" -key "${KEY_URI}"
                          -certs "${CERTIFICATE}" -readpass "${SECRET_FILE}" -h sha256
                          -n "${DESCRIPTION}" -i "${SITE}" ${when} -in "${EXE}" -out "${signed}"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
else()
  execute_process(COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${PKCS12}" -readpass "${SECRET_FILE}"
                          -h sha256 -n "${DESCRIPTION}" -i "${SITE}" ${when} -in "${EXE}"
                          -out "${signed}"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
endif()
if(NOT failed)
  execute_process(COMMAND "${OSSLSIGNCODE}" verify ${VERIFY_OPTIONS} -in "${signed}"
                          -CAfile "${TRUSTED}"
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(CONCAT what "The signature of ${EXE} does not verify as made by the configured "
                     "certificate (SHA-256 ${SIGNER_SHA256})")
else()
  set(what "Signing ${EXE} failed")
endif()
if(DEFINED PROBE_LOG)
  file(WRITE "${PROBE_LOG}" "${output}")
endif()
if(failed)
  file(REMOVE "${signed}" "${EXE}")
  message(FATAL_ERROR "${what}; ${EXE} is removed, and the next build signs it again:\n${output}")
endif()
file(RENAME "${signed}" "${EXE}")
file(CHMOD "${EXE}" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE)
if(DEFINED COPY)
  file(COPY_FILE "${EXE}" "${COPY}")
endif()
