# The file types the desktop program opens, in one list: the launcher offers the program for
# them ("Open With") and the metainfo names them. A new reader adds its types here, with the
# extensions the readers claim (tests/cli/desktop_entry_test.cpp checks the two agree).
set(VELANOX_IMAGE_MIME_TYPES
  image/jpeg
  image/png
  image/tiff
  image/bmp
  image/x-tga
  image/vnd.zbrush.pcx
  image/vnd.adobe.photoshop
  image/x-photo-cd
  image/vnd.wap.wbmp
  image/wmf
  image/emf
  image/heif
  image/avif
  image/webp
  image/jxl
  # camera raw, as the Open dialog lists it (LibRaw reads them)
  image/x-dcraw
  image/x-adobe-dng
  image/x-canon-cr2
  image/x-canon-crw
  image/x-fuji-raf
  image/x-kodak-dcr
  image/x-kodak-kdc
  image/x-minolta-mrw
  image/x-nikon-nef
  image/x-olympus-orf
  image/x-panasonic-rw
  image/x-pentax-pef
  image/x-sigma-x3f
  image/x-sony-arw
  image/x-sony-sr2
  image/x-sony-srf
)
