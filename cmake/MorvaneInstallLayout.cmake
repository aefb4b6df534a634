# Where an installation puts its files, relative to the install prefix.
#
#   MORVANE_INSTALL_BINDIR     morvane-host
#   MORVANE_INSTALL_PLUGINDIR  Tarvel.dlu, Velkora.dlu and the stand-in host's libraries
#   MORVANE_INSTALL_DOCDIR     README.md, docs/ and examples/
#   MORVANE_INSTALL_MANDIR     the manual pages (man1/ below it); none on Windows
#   MORVANE_PLUGINDIR_FROM_BIN MORVANE_INSTALL_PLUGINDIR seen from MORVANE_INSTALL_BINDIR
#                              ("" when they are the same folder), where the installed
#                              morvane-host looks for its plug-ins
#
# On Windows everything lies in one folder, as Windows finds a program's
# DLLs beside it; elsewhere the usual Unix tree with a private library folder.
if(WIN32)
    set(MORVANE_INSTALL_BINDIR .)
    set(MORVANE_INSTALL_PLUGINDIR .)
    set(MORVANE_INSTALL_DOCDIR .)
    set(MORVANE_INSTALL_MANDIR "")
else()
    set(MORVANE_INSTALL_BINDIR bin)
    set(MORVANE_INSTALL_PLUGINDIR lib/morvane)
    set(MORVANE_INSTALL_DOCDIR share/doc/morvane)
    set(MORVANE_INSTALL_MANDIR share/man)
endif()
cmake_path(RELATIVE_PATH MORVANE_INSTALL_PLUGINDIR BASE_DIRECTORY ${MORVANE_INSTALL_BINDIR}
           OUTPUT_VARIABLE MORVANE_PLUGINDIR_FROM_BIN)
if(MORVANE_PLUGINDIR_FROM_BIN STREQUAL ".")
    set(MORVANE_PLUGINDIR_FROM_BIN "")
endif()
