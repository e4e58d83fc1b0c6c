# Run by cpack on the staged files, before it packs them (CPACK_PRE_BUILD_SCRIPTS).
#
# Debian's rules for a package: the man page gzipped, the copyright file and a
# changelog in /usr/share/doc/patchtool/, the program stripped. The bare stub is
# data for patchtool, not a program to run here, and keeps the very bytes the
# Win32 tree built: a strip would rewrite its header.
#
# The same bytes from two runs: gzip without a name or a time (-n) and modes
# from a fixed rule rather than the umask; cpack itself dates every entry at
# SOURCE_DATE_EPOCH (scripts/package.sh sets it to the last commit's time).
set(stage ${CPACK_TEMPORARY_DIRECTORY})
if(CPACK_GENERATOR STREQUAL "DEB")
  set(usr ${stage}${CPACK_PACKAGING_INSTALL_PREFIX})
  set(doc ${usr}/share/doc/${CPACK_PACKAGE_NAME})
  file(MAKE_DIRECTORY ${doc})

  # The license as Debian's machine-readable copyright format wants it: the
  # notice's holder in the Copyright field, then the text with each line
  # indented by one space and an empty line written " .".
  file(READ ${CPACK_UPDATER_LICENSE} license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)\n\n(.*[^\n])" matched "${license}")
  if(NOT matched)
    message(FATAL_ERROR "${CPACK_UPDATER_LICENSE}: no \"Copyright (c)\" line followed by the text")
  endif()
  set(notice "${CMAKE_MATCH_1}")
  string(REPLACE "\n\n" "\n.\n" license_text "${CMAKE_MATCH_2}")
  string(REPLACE "\n" "\n " license_text " ${license_text}")
  file(WRITE ${doc}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${CPACK_PACKAGE_NAME}
Upstream-Contact: ${CPACK_PACKAGE_CONTACT}

Files: *
Copyright: ${notice}
License: Expat
${license_text}
")

  # string(TIMESTAMP) takes SOURCE_DATE_EPOCH when it is set.
  string(TIMESTAMP released "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${doc}/changelog
"${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION}) unstable; urgency=medium

  * Release ${CPACK_PACKAGE_VERSION}; what it does is in
    /usr/share/doc/updater/README.md.

 -- ${CPACK_PACKAGE_CONTACT}  ${released}
")
  foreach(plain ${doc}/changelog ${usr}/share/man/man1/patchtool.1)
    execute_process(COMMAND gzip -9nf ${plain} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
  execute_process(COMMAND ${CPACK_UPDATER_STRIP} --remove-section=.comment --remove-section=.note
                          --strip-unneeded ${usr}/bin/patchtool COMMAND_ERROR_IS_FATAL ANY)
  file(CHMOD ${usr}/share/updater/updater.exe PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()

execute_process(COMMAND chmod -R u=rwX,go=rX ${stage} COMMAND_ERROR_IS_FATAL ANY)
