# Authenticode signing of the programs that ship (the publisher's build), with osslsigncode, in one
# of two ways that exclude each other:
#   with a key on a token or in an HSM (a cloud one included), through its PKCS#11 module and
#   OpenSSL's pkcs11 engine, as code-signing certificates are issued today:
#     LAUNCHER_SIGN_PKCS11_MODULE  the module's path
#     LAUNCHER_SIGN_KEY_URI        the key, as a pkcs11: URI
#     LAUNCHER_SIGN_CERTIFICATE    the key's certificate (PEM), with its chain
#     LAUNCHER_SIGN_PIN_FILE       a file holding the PIN on its first line
#   with a .pfx file holding the certificate and its key:
#     LAUNCHER_SIGN_PKCS12         a .pfx/.p12 file with the code-signing certificate and its key
#     LAUNCHER_SIGN_PASSWORD_FILE  a file holding its password
#   and for both LAUNCHER_SIGN_TIMESTAMP_URL, an RFC 3161 timestamp server (optional).
# The PIN and the password never leave their files: only the files' paths reach the cache, the
# build files and the tools' command lines (openssl -passin file:, osslsigncode -readpass).
# Configure refuses what could not sign or would not verify, before anything is built. Without a
# timestamp server the signing time is fixed, so that two signed builds are byte-identical:
# SOURCE_DATE_EPOCH when the environment has it, else the certificate's start of validity.
# Every signing input is an input of the link that the signing follows: a changed certificate,
# .pfx, key, module, timestamp server or signing script re-signs both programs at the next build
# (a .pfx or certificate renewed at the same path through a configure that runs by itself), and
# nothing else does. The password and PIN files are read only by configure and by a signing.
# Every verification pins the signer (the SHA-256 of its certificate) and fetches nothing: the
# timestamp server is the only address signing uses.
find_program(LAUNCHER_OPENSSL openssl)
find_program(LAUNCHER_OSSLSIGNCODE osslsigncode)

function(launcher_signing_refuse rule)
  message(FATAL_ERROR "Signing: ${rule}")
endfunction()

function(launcher_require_file option)
  if("${${option}}" STREQUAL "" OR NOT EXISTS "${${option}}" OR IS_DIRECTORY "${${option}}")
    launcher_signing_refuse("${option} must name a file; \"${${option}}\" is not one.")
  endif()
endfunction()

# openssl pkcs12 over the publisher's file, writing its certificates (ARGN picks which) to OUT.
# OpenSSL 3 reads older .pfx files (RC2, 3DES) only with its legacy provider: that is tried second.
# Sets OPENSSL_ERROR in the caller: what openssl said, or "" when it succeeded.
function(launcher_pkcs12_certificates out)
  foreach(legacy "" "-legacy")
    execute_process(COMMAND ${LAUNCHER_OPENSSL} pkcs12 ${legacy} -in ${LAUNCHER_SIGN_PKCS12}
                            -passin file:${LAUNCHER_SIGN_PASSWORD_FILE} -nokeys ${ARGN} -out ${out}
                    RESULT_VARIABLE failed ERROR_VARIABLE error OUTPUT_QUIET)
    if(NOT failed)
      set(OPENSSL_ERROR "" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(OPENSSL_ERROR "${error}" PARENT_SCOPE)
endfunction()

# Whether the certificate in CERTIFICATE (PEM) may sign code: its extended key usage extension is
# read itself (its OIDs, parsed by openssl asn1parse), never text elsewhere in the certificate.
# Sets OUT to TRUE when the extension lists Code Signing (1.3.6.1.5.5.7.3.3).
function(launcher_certificate_signs_code certificate out)
  set(${out} FALSE PARENT_SCOPE)
  # The first certificate alone, in DER: asn1parse reads no text around a PEM block.
  set(der ${certificate}.der)
  execute_process(COMMAND ${LAUNCHER_OPENSSL} x509 -in ${certificate} -outform DER -out ${der}
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
  if(NOT failed)
    execute_process(COMMAND ${LAUNCHER_OPENSSL} asn1parse -inform DER -in ${der}
                    OUTPUT_VARIABLE structure RESULT_VARIABLE failed ERROR_QUIET)
  endif()
  # The extension: its OID, an optional critical flag, then the OCTET STRING that holds the value.
  if(failed OR NOT structure MATCHES
     "prim: OBJECT +:X509v3 Extended Key Usage *\n( *[0-9]+:[^\n]*BOOLEAN[^\n]*\n)? *([0-9]+):[^\n]*prim: OCTET STRING")
    file(REMOVE ${der})
    return()
  endif()
  execute_process(COMMAND ${LAUNCHER_OPENSSL} asn1parse -inform DER -in ${der}
                          -strparse ${CMAKE_MATCH_2}
                  OUTPUT_VARIABLE usages RESULT_VARIABLE failed ERROR_QUIET)
  file(REMOVE ${der})
  # The value is a SEQUENCE of OIDs, each one level down.
  if(NOT failed AND usages MATCHES "d=1 +hl= *[0-9]+ +l= *[0-9]+ +prim: OBJECT +:Code Signing *\n")
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()

# The checks every signing certificate must pass, whichever way it comes: for code, and not
# expired. ORIGIN names the option it came from. Sets SUBJECT and CERTIFICATE_TEXT in the caller.
function(launcher_check_certificate certificate origin)
  execute_process(COMMAND ${LAUNCHER_OPENSSL} x509 -in ${certificate} -noout -subject -startdate
                          -enddate
                  OUTPUT_VARIABLE text RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    launcher_signing_refuse("${origin} holds no certificate that openssl can read.")
  endif()
  string(REGEX MATCH "subject=([^\n]*)" subject "${text}")
  set(subject "${CMAKE_MATCH_1}")
  # Windows takes a signature for code only from a certificate issued for it: its extended key
  # usage names Code Signing, as every code-signing certificate from a CA does.
  launcher_certificate_signs_code(${certificate} signs_code)
  if(NOT signs_code)
    launcher_signing_refuse("the certificate in ${origin} (${subject}) is not for code signing: its extended key usage does not include Code Signing. Windows would not accept the signature.")
  endif()
  string(REGEX MATCH "notAfter=([^\n]*)" not_after "${text}")
  set(not_after "${CMAKE_MATCH_1}")
  execute_process(COMMAND ${LAUNCHER_OPENSSL} x509 -in ${certificate} -noout -checkend 0
                  RESULT_VARIABLE expired OUTPUT_QUIET ERROR_QUIET)
  if(expired)
    launcher_signing_refuse("the certificate in ${origin} (${subject}) expired on ${not_after}. Windows does not accept a signature made with an expired certificate.")
  endif()
  set(SUBJECT "${subject}" PARENT_SCOPE)
  set(CERTIFICATE_TEXT "${text}" PARENT_SCOPE)
endfunction()

# The .pfx way: the file opens with the password, and its certificate passes the checks. Writes the
# signer's certificate to DIR/certificate.pem and every certificate in the file to DIR/chain.pem.
function(launcher_prepare_pkcs12 dir)
  launcher_require_file(LAUNCHER_SIGN_PKCS12)
  launcher_require_file(LAUNCHER_SIGN_PASSWORD_FILE)
  launcher_pkcs12_certificates(${dir}/certificate.pem -clcerts)
  if(OPENSSL_ERROR MATCHES "invalid password")
    launcher_signing_refuse("the password in LAUNCHER_SIGN_PASSWORD_FILE (${LAUNCHER_SIGN_PASSWORD_FILE}) does not open LAUNCHER_SIGN_PKCS12 (${LAUNCHER_SIGN_PKCS12}).")
  elseif(NOT OPENSSL_ERROR STREQUAL "")
    launcher_signing_refuse("LAUNCHER_SIGN_PKCS12 (${LAUNCHER_SIGN_PKCS12}) is not a PKCS#12 file (.pfx, .p12) that openssl can read.")
  endif()
  launcher_check_certificate(${dir}/certificate.pem "LAUNCHER_SIGN_PKCS12")
  launcher_pkcs12_certificates(${dir}/chain.pem)
  set(SUBJECT "${SUBJECT}" PARENT_SCOPE)
  set(CERTIFICATE_TEXT "${CERTIFICATE_TEXT}" PARENT_SCOPE)
  set(LAUNCHER_SIGNING_KEY
      "set(PKCS12 [==[${LAUNCHER_SIGN_PKCS12}]==])\nset(SECRET_FILE [==[${LAUNCHER_SIGN_PASSWORD_FILE}]==])"
      PARENT_SCOPE)
endfunction()

# The token way: the files, the URI and the certificate pass the checks (the probe of
# launcher_probe_token comes once the signing parameters are written). Writes
# DIR/certificate.pem (the signer's) and DIR/chain.pem.
function(launcher_prepare_pkcs11 dir)
  foreach(option LAUNCHER_SIGN_PKCS11_MODULE LAUNCHER_SIGN_CERTIFICATE LAUNCHER_SIGN_PIN_FILE)
    launcher_require_file(${option})
  endforeach()
  set(uri "${LAUNCHER_SIGN_KEY_URI}")
  if(NOT uri MATCHES "^pkcs11:")
    launcher_signing_refuse("LAUNCHER_SIGN_KEY_URI must name the key on the token as a pkcs11: URI (pkcs11:token=...;object=...); \"${uri}\" is not one.")
  elseif(uri MATCHES "[;?]pin-(value|source)=")
    launcher_signing_refuse("LAUNCHER_SIGN_KEY_URI carries a PIN (pin-value or pin-source), which would be kept in the CMake cache and shown on command lines: give the PIN in LAUNCHER_SIGN_PIN_FILE and take it out of the URI.")
  endif()
  execute_process(COMMAND ${LAUNCHER_OPENSSL} x509 -in ${LAUNCHER_SIGN_CERTIFICATE}
                          -out ${dir}/certificate.pem
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
  if(failed)
    launcher_signing_refuse("LAUNCHER_SIGN_CERTIFICATE (${LAUNCHER_SIGN_CERTIFICATE}) holds no PEM certificate that openssl can read.")
  endif()
  launcher_check_certificate(${dir}/certificate.pem "LAUNCHER_SIGN_CERTIFICATE")
  configure_file(${LAUNCHER_SIGN_CERTIFICATE} ${dir}/chain.pem COPYONLY)

  set(SUBJECT "${SUBJECT}" PARENT_SCOPE)
  set(CERTIFICATE_TEXT "${CERTIFICATE_TEXT}" PARENT_SCOPE)
  set(LAUNCHER_SIGNING_KEY
      "set(PKCS11_MODULE [==[${LAUNCHER_SIGN_PKCS11_MODULE}]==])\nset(KEY_URI [==[${uri}]==])\nset(CERTIFICATE [==[${LAUNCHER_SIGN_CERTIFICATE}]==])\nset(SECRET_FILE [==[${LAUNCHER_SIGN_PIN_FILE}]==])"
      PARENT_SCOPE)
endfunction()

# What a signature that configure accepts still will not do, said as warnings: without a timestamp
# it lapses with the certificate; and a certificate that chains to none of this machine's TLS
# roots is said to be so, with what that does and does not tell of Windows, which trusts its own
# list of code-signing roots. DIR holds the signer's certificate.pem and the chain.pem that came
# with it.
function(launcher_warn_what_the_signature_will_not_do dir)
  if(LAUNCHER_SIGN_TIMESTAMP_URL STREQUAL "")
    string(REGEX MATCH "notAfter=([^\n]*)" not_after "${CERTIFICATE_TEXT}")
    message(WARNING "Signing without LAUNCHER_SIGN_TIMESTAMP_URL: Windows takes the signature as valid only until the certificate (${SUBJECT}) expires, on ${CMAKE_MATCH_1}; after that the programs count as unsigned. A timestamp server's countersignature keeps the signature valid past that date.")
  endif()
  set(authorities /etc/ssl/certs/ca-certificates.crt)
  set(failed 1)
  if(EXISTS ${authorities})
    execute_process(COMMAND ${LAUNCHER_OPENSSL} verify -CAfile ${authorities}
                            -untrusted ${dir}/chain.pem ${dir}/certificate.pem
                    RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(failed)
    message(WARNING "The certificate (${SUBJECT}) does not chain to this machine's TLS roots (${authorities}, the authorities that Debian trusts for web servers). Windows checks a signature against its own list of code-signing roots, another list, so this does not settle what a player sees: a self-signed certificate or one from a private authority makes Windows show \"unknown publisher\" and SmartScreen warn as for an unsigned program, while a code-signing authority that Windows trusts may be missing here. Check a signed program on Windows: its Properties, Digital Signatures, Details (\"This digital signature is OK\"), or `signtool verify /pa ${LAUNCHER_OUTPUT_NAME}.exe`.")
  endif()
endfunction()

# Signs a probe program with the build's own signing script and PARAMETERS (the token way), which
# shows that the module loads, the URI finds a key, the PIN logs in and the certificate is the key's.
function(launcher_probe_token dir parameters)
  # A program of nothing, built by this build's own compiler.
  file(WRITE ${dir}/probe.cpp "int main() { return 0; }\n")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${dir}/probe.cpp -s -o ${dir}/probe.exe
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE error)
  if(failed)
    message(FATAL_ERROR "Signing: the probe program did not build:\n${error}")
  endif()
  file(REMOVE ${dir}/probe.log)
  execute_process(COMMAND ${CMAKE_COMMAND} -DPARAMETERS=${parameters} -DEXE=${dir}/probe.exe
                          -DPROBE_LOG=${dir}/probe.log
                          -P ${CMAKE_SOURCE_DIR}/cmake/sign-executable.cmake
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE error)
  set(output "${error}")
  if(EXISTS ${dir}/probe.log)
    file(READ ${dir}/probe.log output)
  endif()
  file(REMOVE ${dir}/probe.cpp ${dir}/probe.exe ${dir}/probe.log)
  set(uri "${LAUNCHER_SIGN_KEY_URI}")
  # libp11's and OpenSSL's words, checked in this order: a wrong PIN also reports the key as
  # not found.
  if(NOT failed)
  elseif(output MATCHES "Unable to load (PKCS#11 )?module")
    launcher_signing_refuse("LAUNCHER_SIGN_PKCS11_MODULE (${LAUNCHER_SIGN_PKCS11_MODULE}) does not load as a PKCS#11 module.")
  elseif(output MATCHES "Login failed|PIN incorrect|PIN_INCORRECT|PIN_LEN_RANGE")
    launcher_signing_refuse("the PIN in LAUNCHER_SIGN_PIN_FILE (${LAUNCHER_SIGN_PIN_FILE}) does not log in to the token of LAUNCHER_SIGN_KEY_URI (${uri}). A token may lock itself after a few wrong PINs.")
  elseif(output MATCHES "private key was not found|object not found|No matching token|Could not find token")
    launcher_signing_refuse("LAUNCHER_SIGN_KEY_URI (${uri}) finds no key through LAUNCHER_SIGN_PKCS11_MODULE (${LAUNCHER_SIGN_PKCS11_MODULE}).")
  elseif(output MATCHES "key values mismatch")
    launcher_signing_refuse("the certificate in LAUNCHER_SIGN_CERTIFICATE (${SUBJECT}) is not the certificate of the token's key: its public key is another.")
  else()
    launcher_signing_refuse("signing a probe program with LAUNCHER_SIGN_KEY_URI (${uri}) failed:\n${output}")
  endif()
endfunction()

# The inputs of the signing, for launcher_sign: the stamp that DIR/inputs.txt holds (what configure
# was given, the files' contents by hash, or "unsigned"), the parameters, the signing script, and
# the key's module, so that a module changed in place re-signs too. The .pfx and the certificate
# are configure's own inputs instead: a file renewed at the same path runs configure again at the
# next build, which pins the new signer and so changes the stamp. The password and PIN files are
# no input: a signature does not depend on them, and a publisher may take them away once the
# programs are signed, while a build with nothing to sign must still pass. Sets
# LAUNCHER_SIGNING_INPUTS in the caller.
function(launcher_record_signing_inputs dir stamp)
  set(files ${dir}/inputs.txt ${CMAKE_SOURCE_DIR}/cmake/sign-executable.cmake)
  if(EXISTS ${dir}/parameters.cmake)
    list(APPEND files ${dir}/parameters.cmake)
  endif()
  if(NOT "${LAUNCHER_SIGN_PKCS11_MODULE}" STREQUAL "")
    list(APPEND files ${LAUNCHER_SIGN_PKCS11_MODULE})
  endif()
  foreach(option LAUNCHER_SIGN_PKCS12 LAUNCHER_SIGN_CERTIFICATE)
    if(NOT "${${option}}" STREQUAL "")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${${option}})
    endif()
  endforeach()
  launcher_write_if_changed(${dir}/inputs.txt "${stamp}")
  set(LAUNCHER_SIGNING_INPUTS ${files} PARENT_SCOPE)
endfunction()

# The verification options that this osslsigncode takes: 2.9 and later fetch the CRL distribution
# points that every authority's code-signing certificate names, and fail when they cannot, unless
# told -ignore-crl; older releases fetch nothing and do not know the option. The usage text says
# which. Sets VERIFY_OPTIONS in the caller.
function(launcher_offline_verify_options)
  execute_process(COMMAND ${LAUNCHER_OSSLSIGNCODE} --help OUTPUT_VARIABLE usage
                  ERROR_VARIABLE usage RESULT_VARIABLE ignored)
  if(usage MATCHES "-ignore-crl")
    set(VERIFY_OPTIONS -ignore-crl PARENT_SCOPE)
  else()
    set(VERIFY_OPTIONS "" PARENT_SCOPE)
  endif()
endfunction()

# Checks the signing options and writes DIR/parameters.cmake for cmake/sign-executable.cmake; sets
# LAUNCHER_SIGNING_ARGS and LAUNCHER_SIGNING_PARAMETERS (that file) in the caller ("" when the
# build does not sign), and LAUNCHER_SIGNING_INPUTS.
function(launcher_prepare_signing)
  set(dir ${CMAKE_BINARY_DIR}/signing)
  file(MAKE_DIRECTORY ${dir})
  set(pkcs12 "")
  set(pkcs11 "")
  foreach(option LAUNCHER_SIGN_PKCS12 LAUNCHER_SIGN_PASSWORD_FILE)
    if(NOT "${${option}}" STREQUAL "")
      list(APPEND pkcs12 ${option})
    endif()
  endforeach()
  foreach(option LAUNCHER_SIGN_PKCS11_MODULE LAUNCHER_SIGN_KEY_URI LAUNCHER_SIGN_CERTIFICATE
                 LAUNCHER_SIGN_PIN_FILE)
    if(NOT "${${option}}" STREQUAL "")
      list(APPEND pkcs11 ${option})
    endif()
  endforeach()
  if(pkcs12 AND pkcs11)
    string(REPLACE ";" ", " pkcs12 "${pkcs12}")
    string(REPLACE ";" ", " pkcs11 "${pkcs11}")
    launcher_signing_refuse("sign either with a .pfx file (${pkcs12}) or with a key on a token (${pkcs11}), not both.")
  endif()
  if(NOT pkcs12 AND NOT pkcs11)
    if(NOT LAUNCHER_SIGN_TIMESTAMP_URL STREQUAL "")
      launcher_signing_refuse("LAUNCHER_SIGN_TIMESTAMP_URL needs a way to sign: LAUNCHER_SIGN_PKCS11_MODULE with its key, or LAUNCHER_SIGN_PKCS12.")
    endif()
    file(REMOVE ${dir}/parameters.cmake)
    launcher_record_signing_inputs(${dir} "unsigned\n")
    set(LAUNCHER_SIGNING_INPUTS ${LAUNCHER_SIGNING_INPUTS} PARENT_SCOPE)
    set(LAUNCHER_SIGNING_ARGS "" PARENT_SCOPE)
    set(LAUNCHER_SIGNING_PARAMETERS "" PARENT_SCOPE)
    return()
  endif()
  foreach(tool LAUNCHER_OPENSSL LAUNCHER_OSSLSIGNCODE)
    if(NOT ${tool})
      launcher_signing_refuse("${tool} was not found; install the Debian packages openssl and osslsigncode (and for a token, libengine-pkcs11-openssl).")
    endif()
  endforeach()
  if(NOT LAUNCHER_SIGN_TIMESTAMP_URL STREQUAL "" AND NOT LAUNCHER_SIGN_TIMESTAMP_URL MATCHES "^https?://[^ \"]+$")
    launcher_signing_refuse("LAUNCHER_SIGN_TIMESTAMP_URL must be an http or https address of an RFC 3161 timestamp server; \"${LAUNCHER_SIGN_TIMESTAMP_URL}\" is not one.")
  endif()

  if(pkcs12)
    launcher_prepare_pkcs12(${dir})
  else()
    launcher_prepare_pkcs11(${dir})
  endif()

  launcher_warn_what_the_signature_will_not_do(${dir})

  # The signing time: fixed, unless a timestamp server gives it.
  set(time "")
  if(LAUNCHER_SIGN_TIMESTAMP_URL STREQUAL "")
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
      set(time "$ENV{SOURCE_DATE_EPOCH}")
      if(NOT time MATCHES "^[0-9]+$")
        launcher_signing_refuse("SOURCE_DATE_EPOCH must be a count of seconds since 1970; \"${time}\" is not.")
      endif()
    else()
      string(REGEX MATCH "notBefore=([^\n]*)" not_before "${CERTIFICATE_TEXT}")
      execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%s OUTPUT_VARIABLE time
                      OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endif()

  # What a signature is checked against: the certificates given, and the system's CAs for a
  # certificate whose root they do not carry.
  file(READ ${dir}/chain.pem trusted)
  if(EXISTS /etc/ssl/certs/ca-certificates.crt)
    file(READ /etc/ssl/certs/ca-certificates.crt system)
    string(APPEND trusted "${system}")
  endif()
  file(WRITE ${dir}/trusted.pem "${trusted}")

  # The signer, pinned in every verification: the SHA-256 of its certificate.
  execute_process(COMMAND ${LAUNCHER_OPENSSL} x509 -in ${dir}/certificate.pem -outform DER
                          -out ${dir}/certificate.der
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
  if(failed)
    message(FATAL_ERROR "Signing: the signer's certificate (${SUBJECT}) could not be read again.")
  endif()
  file(SHA256 ${dir}/certificate.der signer)
  file(REMOVE ${dir}/certificate.der)
  launcher_offline_verify_options()

  # The landing page's site, for the signature's URL.
  string(REGEX REPLACE "^([Hh][Tt][Tt][Pp][Ss]://)([^/?#@]*@)?([^/?#]+).*$" "https://\\3/" site
         "${LAUNCHER_LANDING_URL}")
  # Paths and names only: no password, no PIN.
  string(CONCAT parameters
       "set(OSSLSIGNCODE [==[${LAUNCHER_OSSLSIGNCODE}]==])\n"
       "${LAUNCHER_SIGNING_KEY}\n"
       "set(TRUSTED [==[${dir}/trusted.pem]==])\n"
       "set(DESCRIPTION [==[${LAUNCHER_OUTPUT_NAME}]==])\n"
       "set(SITE [==[${site}]==])\n"
       "set(TIME [==[${time}]==])\n"
       "set(TIMESTAMP_URL [==[${LAUNCHER_SIGN_TIMESTAMP_URL}]==])\n"
       "set(SIGNER_SHA256 ${signer})\n"
       "set(VERIFY_OPTIONS ${VERIFY_OPTIONS} -require-leaf-hash sha256:${signer})\n")
  launcher_write_if_changed(${dir}/parameters.cmake "${parameters}")
  # What the signatures depend on: the files by content, the rest as given. The secret files are
  # named only: their contents never reach the stamp.
  set(stamp "signer ${signer}\n")
  foreach(option LAUNCHER_SIGN_PKCS12 LAUNCHER_SIGN_PKCS11_MODULE LAUNCHER_SIGN_CERTIFICATE)
    if(NOT "${${option}}" STREQUAL "")
      file(SHA256 ${${option}} hash)
      string(APPEND stamp "${option} ${${option}} ${hash}\n")
    endif()
  endforeach()
  foreach(option LAUNCHER_SIGN_PASSWORD_FILE LAUNCHER_SIGN_PIN_FILE LAUNCHER_SIGN_KEY_URI
                 LAUNCHER_SIGN_TIMESTAMP_URL)
    string(APPEND stamp "${option} ${${option}}\n")
  endforeach()
  string(APPEND stamp "time ${time}\nsite ${site}\ndescription ${LAUNCHER_OUTPUT_NAME}\n")
  launcher_record_signing_inputs(${dir} "${stamp}")
  set(LAUNCHER_SIGNING_INPUTS ${LAUNCHER_SIGNING_INPUTS} PARENT_SCOPE)
  if(pkcs11)
    launcher_probe_token(${dir} ${dir}/parameters.cmake)
  endif()
  set(LAUNCHER_SIGNING_ARGS -DPARAMETERS=${dir}/parameters.cmake PARENT_SCOPE)
  set(LAUNCHER_SIGNING_PARAMETERS ${dir}/parameters.cmake PARENT_SCOPE)
  if(time STREQUAL "")
    message(STATUS "Signing with ${SUBJECT}, timestamped by ${LAUNCHER_SIGN_TIMESTAMP_URL}")
  else()
    message(STATUS "Signing with ${SUBJECT}, signing time ${time}")
  endif()
endfunction()

# Signs TARGET's executable after each link, and fails the build when the signature does not
# verify. The link, and so the signing, follows the signing's inputs.
function(launcher_sign target)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${LAUNCHER_SIGNING_INPUTS})
  if(LAUNCHER_SIGNING_ARGS)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${CMAKE_COMMAND} ${LAUNCHER_SIGNING_ARGS} -DEXE=$<TARGET_FILE:${target}>
                               -P ${CMAKE_SOURCE_DIR}/cmake/sign-executable.cmake
                       VERBATIM)
  endif()
endfunction()
