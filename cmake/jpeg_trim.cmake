# Run as the libjpeg-turbo build's patch step (cmake -P, with JMORECFG set to
# the source's jmorecfg.h): turns off the decoder features the installer
# never asks for, which the library links in whenever it is built with them:
#   IDCT_SCALING_SUPPORTED      output scaled by the IDCT (scale_num/denom):
#                               the pictures are always decoded at full size;
#   UPSAMPLE_MERGING_SUPPORTED  the fast, rougher upsampling taken only when
#                               do_fancy_upsampling is off (it is on);
#   QUANT_1PASS/2PASS_SUPPORTED colour-mapped output (quantize_colors, off);
#   DCT_IFAST/FLOAT_SUPPORTED   the other inverse DCTs (dct_method stays the
#                               default, the accurate integer one).
# Full-size, fancy-upsampled RGB decoding is unchanged; progressive and
# multi-scan files still decode. About 40 KB less in the i386 stub.
# Running it again changes nothing.
file(READ ${JMORECFG} text)
foreach(feature IDCT_SCALING_SUPPORTED UPSAMPLE_MERGING_SUPPORTED QUANT_1PASS_SUPPORTED QUANT_2PASS_SUPPORTED
                DCT_IFAST_SUPPORTED DCT_FLOAT_SUPPORTED)
  string(REGEX REPLACE "\n#define ${feature}[^\n]*" "\n/* ${feature}: off for the installer (jpeg_trim.cmake) */" text "${text}")
endforeach()
file(WRITE ${JMORECFG}.new "${text}")
# Only a changed file is written, so that the library is not rebuilt for nothing.
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${JMORECFG}.new ${JMORECFG})
file(REMOVE ${JMORECFG}.new)
