# Authenticode signing of the programs that ship (the publisher's build), with osslsigncode:
#   LAUNCHER_SIGN_PKCS12         a .pfx/.p12 file with the code-signing certificate and its key
#   LAUNCHER_SIGN_PASSWORD_FILE  a file holding its password; only its path reaches the cache, the
#                                build files and the tools (openssl -passin file:, osslsigncode
#                                -readpass), never the password itself
#   LAUNCHER_SIGN_TIMESTAMP_URL  an RFC 3161 timestamp server (optional)
# Configure refuses what could not sign or would not verify, before anything is built. Without a
# timestamp server the signing time is fixed, so that two signed builds are byte-identical:
# SOURCE_DATE_EPOCH when the environment has it, else the certificate's start of validity.
find_program(LAUNCHER_OPENSSL openssl)
find_program(LAUNCHER_OSSLSIGNCODE osslsigncode)

function(launcher_signing_refuse rule)
  message(FATAL_ERROR "Signing: ${rule}")
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

# Checks the signing options, extracts the certificates, and sets LAUNCHER_SIGNING_ARGS (for
# cmake/sign-executable.cmake) in the caller.
function(launcher_prepare_signing)
  if(LAUNCHER_SIGN_PKCS12 STREQUAL "")
    if(NOT LAUNCHER_SIGN_PASSWORD_FILE STREQUAL "" OR NOT LAUNCHER_SIGN_TIMESTAMP_URL STREQUAL "")
      launcher_signing_refuse("LAUNCHER_SIGN_PASSWORD_FILE and LAUNCHER_SIGN_TIMESTAMP_URL need LAUNCHER_SIGN_PKCS12, the certificate to sign with.")
    endif()
    set(LAUNCHER_SIGNING_ARGS "" PARENT_SCOPE)
    return()
  endif()
  foreach(tool LAUNCHER_OPENSSL LAUNCHER_OSSLSIGNCODE)
    if(NOT ${tool})
      launcher_signing_refuse("${tool} was not found; install the Debian packages openssl and osslsigncode.")
    endif()
  endforeach()
  foreach(option LAUNCHER_SIGN_PKCS12 LAUNCHER_SIGN_PASSWORD_FILE)
    if(${option} STREQUAL "" OR NOT EXISTS "${${option}}" OR IS_DIRECTORY "${${option}}")
      launcher_signing_refuse("${option} must name a file; \"${${option}}\" is not one.")
    endif()
  endforeach()
  if(NOT LAUNCHER_SIGN_TIMESTAMP_URL STREQUAL "" AND NOT LAUNCHER_SIGN_TIMESTAMP_URL MATCHES "^https?://[^ \"]+$")
    launcher_signing_refuse("LAUNCHER_SIGN_TIMESTAMP_URL must be an http or https address of an RFC 3161 timestamp server; \"${LAUNCHER_SIGN_TIMESTAMP_URL}\" is not one.")
  endif()

  # The certificate that goes with the key.
  set(dir ${CMAKE_BINARY_DIR}/signing)
  file(MAKE_DIRECTORY ${dir})
  launcher_pkcs12_certificates(${dir}/certificate.pem -clcerts)
  if(OPENSSL_ERROR MATCHES "invalid password")
    launcher_signing_refuse("the password in LAUNCHER_SIGN_PASSWORD_FILE (${LAUNCHER_SIGN_PASSWORD_FILE}) does not open LAUNCHER_SIGN_PKCS12 (${LAUNCHER_SIGN_PKCS12}).")
  elseif(NOT OPENSSL_ERROR STREQUAL "")
    launcher_signing_refuse("LAUNCHER_SIGN_PKCS12 (${LAUNCHER_SIGN_PKCS12}) is not a PKCS#12 file (.pfx, .p12) that openssl can read.")
  endif()
  execute_process(COMMAND ${LAUNCHER_OPENSSL} x509 -in ${dir}/certificate.pem -noout -subject
                          -startdate -enddate -ext extendedKeyUsage
                  OUTPUT_VARIABLE certificate RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    launcher_signing_refuse("LAUNCHER_SIGN_PKCS12 (${LAUNCHER_SIGN_PKCS12}) holds no certificate for its key.")
  endif()
  string(REGEX MATCH "subject=([^\n]*)" subject "${certificate}")
  set(subject "${CMAKE_MATCH_1}")
  # Windows takes a signature for code only from a certificate issued for it: its extended key
  # usage names Code Signing, as every code-signing certificate from a CA does.
  if(NOT certificate MATCHES "Code Signing")
    launcher_signing_refuse("the certificate in LAUNCHER_SIGN_PKCS12 (${subject}) is not for code signing: its extended key usage does not include Code Signing. Windows would not accept the signature.")
  endif()
  string(REGEX MATCH "notAfter=([^\n]*)" not_after "${certificate}")
  set(not_after "${CMAKE_MATCH_1}")
  execute_process(COMMAND ${LAUNCHER_OPENSSL} x509 -in ${dir}/certificate.pem -noout -checkend 0
                  RESULT_VARIABLE expired OUTPUT_QUIET ERROR_QUIET)
  if(expired)
    launcher_signing_refuse("the certificate in LAUNCHER_SIGN_PKCS12 (${subject}) expired on ${not_after}. Windows does not accept a signature made with an expired certificate.")
  endif()

  # The signing time: fixed, unless a timestamp server gives it.
  set(time "")
  if(LAUNCHER_SIGN_TIMESTAMP_URL STREQUAL "")
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
      set(time "$ENV{SOURCE_DATE_EPOCH}")
      if(NOT time MATCHES "^[0-9]+$")
        launcher_signing_refuse("SOURCE_DATE_EPOCH must be a count of seconds since 1970; \"${time}\" is not.")
      endif()
    else()
      string(REGEX MATCH "notBefore=([^\n]*)" not_before "${certificate}")
      execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%s OUTPUT_VARIABLE time
                      OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endif()

  # What a signature is checked against: the certificates in the file, and the system's CAs for a
  # certificate whose root the file does not carry.
  launcher_pkcs12_certificates(${dir}/chain.pem)
  file(READ ${dir}/chain.pem trusted)
  if(EXISTS /etc/ssl/certs/ca-certificates.crt)
    file(READ /etc/ssl/certs/ca-certificates.crt system)
    string(APPEND trusted "${system}")
  endif()
  file(WRITE ${dir}/trusted.pem "${trusted}")

  # The landing page's site, for the signature's URL.
  string(REGEX REPLACE "^([Hh][Tt][Tt][Pp][Ss]://)([^/?#@]*@)?([^/?#]+).*$" "https://\\3/" site
         "${LAUNCHER_LANDING_URL}")
  set(LAUNCHER_SIGNING_ARGS
      -DOSSLSIGNCODE=${LAUNCHER_OSSLSIGNCODE} -DPKCS12=${LAUNCHER_SIGN_PKCS12}
      -DPASSWORD_FILE=${LAUNCHER_SIGN_PASSWORD_FILE} -DTRUSTED=${dir}/trusted.pem
      -DDESCRIPTION=${LAUNCHER_OUTPUT_NAME} -DSITE=${site} -DTIME=${time}
      -DTIMESTAMP_URL=${LAUNCHER_SIGN_TIMESTAMP_URL}
      PARENT_SCOPE)
  if(time STREQUAL "")
    message(STATUS "Signing with ${subject}, timestamped by ${LAUNCHER_SIGN_TIMESTAMP_URL}")
  else()
    message(STATUS "Signing with ${subject}, signing time ${time}")
  endif()
endfunction()

# Signs TARGET's executable after each link, and fails the build when the signature does not
# verify.
function(launcher_sign target)
  if(LAUNCHER_SIGNING_ARGS)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${CMAKE_COMMAND} ${LAUNCHER_SIGNING_ARGS} -DEXE=$<TARGET_FILE:${target}>
                               -P ${CMAKE_SOURCE_DIR}/cmake/sign-executable.cmake
                       VERBATIM)
  endif()
endfunction()
