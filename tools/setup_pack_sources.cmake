# setup-pack's portable sources, relative to the project root: the command
# line, the packer, the PE and resource codecs, the folder archiver. The
# Linux build adds host_files_posix.cpp and the iconv text conversions, the
# Windows build host_files_win.cpp and gbk_*_win.cpp.
set(SETUP_PACK_SOURCES
  tools/setup_pack_cli.cpp
  tools/setup_pack_lib.cpp
  tools/pe_image.cpp
  tools/pe_resources.cpp
  tools/icon_resources.cpp
  tools/version_info.cpp
  tools/folder_archive.cpp
)
