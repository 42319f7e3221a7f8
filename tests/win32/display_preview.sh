#!/bin/bash
# The preview: the saver host running as the child of a 152 x 112 window shows the preview bitmap,
# shrunk to the whole client area, and touches no DirectDraw.
source "$(dirname "$0")/lib.sh"
wine_session 24 1024x768

WINEDEBUG=trace+ddraw wine_start "$SANDGLASS_BIN/display_preview_parent.exe"
check "the parent window appears" eval "wait_window \"Display preview parent\" 20 >/dev/null"
sleep 3
check "the preview still runs" kill -0 "$WINE_PID"
screenshot "$TEST_DIR/shot.png"

# The client area against the bitmap shrunk to 152 x 112. The stretch drops whole rows and
# columns and ImageMagick's sampling drops others, so both are compared averaged over 4 x 4 blocks.
convert "$TEST_DIR/shot.png" -crop 152x112+100+100 +repage "$TEST_DIR/preview.png"
convert "$SANDGLASS_SOURCE/win32/res/preview.bmp" -sample '152x112!' "$TEST_DIR/expected.png"
for f in preview expected; do convert "$TEST_DIR/$f.png" -scale 25% "$TEST_DIR/$f-blocks.png"; done
difference=$(compare -metric RMSE "$TEST_DIR/preview-blocks.png" "$TEST_DIR/expected-blocks.png" null: 2>&1 |
  sed -n 's/.*(\([0-9.e-]*\)).*/\1/p')
echo "     block RMSE against the bitmap: $difference"
check "the client area shows the preview bitmap (block RMSE $difference < 0.04)" \
  awk -v d="$difference" 'BEGIN { exit !(d != "" && d < 0.04) }'
# Neither the parent's white nor the child's black background: the picture's own colours.
mean=$(convert "$TEST_DIR/preview.png" -format '%[fx:mean]' info:)
check "the preview is neither black nor white (mean $mean)" awk -v m="$mean" 'BEGIN { exit !(m > 0.05 && m < 0.6) }'
# Its corners: the bitmap's black background at the top left, the vessel's grey at the bottom.
expect_eq "top-left pixel is the bitmap's" "$(pixel "$TEST_DIR/expected.png" 2 2)" "$(pixel "$TEST_DIR/preview.png" 2 2)"
# Wine's DirectDraw traces every DirectDrawCreate: a preview makes none.
expect_eq "no DirectDraw object in a preview" 0 \
  "$(grep -c 'trace:ddraw:DirectDrawCreate ' "$TEST_DIR/display_preview_parent.exe.log")"
finish
