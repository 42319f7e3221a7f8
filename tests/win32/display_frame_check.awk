# Checks a screenshot of the running saver against the scene. Input: ImageMagick's text form of
# the screenshot at 8 bits a channel ("x,y: (r,g,b) ..."). Variables (-v):
#   depth             the X server's depth (24, 16 or 8): how colours reach the screen
#   frame_x, frame_y  the frame's top-left corner on the screen (the centred 640 x 480)
#   ox_min..oy_max    the range of the vessel's origin (frame cells) over the run's duration
#   wall, wall_cx, wall_cy, wall_box, picture_box, background_box, sand_colors,
#   background_colors the display probe's values (boxes relative to the origin or the frame)
# Prints one line per check, "ok   ..." or "FAIL ...", and exits 1 if any failed.

function abs(v) { return v < 0 ? -v : v }

# The colour the screen shows for (r, g, b) drawn at this depth.
function shown(r, g, b,    rr, gg, bb) {
  if (depth == 16) {  # 5-6-5, widened again by bit replication
    rr = int(r / 8) * 8 + int(r / 32); gg = int(g / 4) * 4 + int(g / 64); bb = int(b / 8) * 8 + int(b / 32)
  } else if (depth == 8) {  # the fixed palette's entry for the colour's 3-3-2 index
    rr = int(int(r / 32) * 255 / 7); gg = int(int(g / 32) * 255 / 7); bb = int(int(b / 64) * 255 / 3)
  } else { rr = r; gg = g; bb = b }
  return rr "," gg "," bb
}

function near(r, g, b, want,    w) {
  split(want, w, ",")
  return abs(r - w[1]) <= tolerance && abs(g - w[2]) <= tolerance && abs(b - w[3]) <= tolerance
}

function inside(x, y, box) { return x >= box[1] && x <= box[3] && y >= box[2] && y <= box[4] }

function report(ok, what) {
  if (ok) print "ok   " what; else { print "FAIL " what; failed = 1 }
}

BEGIN {
  tolerance = depth == 24 ? 0 : 2
  split(wall_box, wb, ","); split(picture_box, pb, ","); split(background_box, bgb, ",")
  # Boxes on the screen, widened by the origin's travel and a margin of 2 pixels.
  sand_area[1] = frame_x + ox_min + wb[1] - 2; sand_area[3] = frame_x + ox_max + wb[3] + 2
  sand_area[2] = frame_y + oy_min + wb[2] - 2; sand_area[4] = frame_y + oy_max + wb[4] + 2
  vessel_area[1] = frame_x + ox_min + pb[1] - 2; vessel_area[3] = frame_x + ox_max + pb[3] + 2
  vessel_area[2] = frame_y + oy_min + pb[2] - 2; vessel_area[4] = frame_y + oy_max + pb[4] + 2
  ring_area[1] = frame_x + bgb[1] - 1; ring_area[3] = frame_x + bgb[3]
  ring_area[2] = frame_y + bgb[2] - 1; ring_area[4] = frame_y + bgb[4]
  wall_shown = shown(96, 96, 96)
  sands = split(sand_colors, sand, " ")
  for (k = 1; k <= sands; ++k) {
    split(sand[k], c, ","); sand_shown[k] = shown(c[1], c[2], c[3])
    # At 8 bits Wine maps the palette onto its own few colours: only sand colours that are
    # palette entries and pure (every channel 0 or 255) reach the screen unchanged.
    sand_checked[k] = depth != 8 || (sand_shown[k] == sand[k] && sand[k] ~ /^(0|255),(0|255),(0|255)$/)
  }
  n = split(background_colors, bg, " ")
  for (k = 1; k <= n; ++k) { split(bg[k], c, ","); ring_color[shown(c[1], c[2], c[3])] = 1 }
}

/^[0-9]/ {
  split($1, xy, "[,:]"); x = xy[1]; y = xy[2]
  s = $2; gsub(/[()]/, "", s); split(s, c, ","); r = c[1]; g = c[2]; b = c[3]
  if (x < frame_x || x >= frame_x + 640 || y < frame_y || y >= frame_y + 480) {
    if (r + g + b > 0) ++outside_lit
    next
  }
  if (r + g + b > 0) ++lit
  if (depth != 8 && near(r, g, b, wall_shown)) { ++walls; wall_sx += x; wall_sy += y }
  for (k = 1; k <= sands; ++k)
    if (sand_checked[k] && near(r, g, b, sand_shown[k])) {
      ++sand_n[k]
      if (!inside(x, y, sand_area)) ++sand_out
    }
  if (b > r + 16 && b > g + 16) {
    ++blue
    if (!inside(x, y, ring_area)) ++blue_out
    if (depth == 24 && !((r "," g "," b) in ring_color)) ++blue_foreign
  }
  if (depth != 8 && abs(r - g) <= 3 && abs(g - b) <= 3 && r >= 24 && r <= 230 && !near(r, g, b, wall_shown)) {
    ++grey
    if (!inside(x, y, vessel_area)) ++grey_out
  }
}

END {
  report(outside_lit == 0, "nothing drawn outside the centred frame (" outside_lit + 0 " pixels lit)")
  report(lit >= 30000, "the frame is drawn (" lit + 0 " pixels lit)")
  report(blue >= 20000 && blue_out == 0,
         "the rings: " blue + 0 " blue pixels, " blue_out + 0 " outside their area")
  if (depth == 24) report(blue_foreign == 0, "every blue pixel is a background palette colour (" blue_foreign + 0 " others)")
  if (depth != 8) {
    lo = depth == 24 ? wall : int(wall * 0.95); hi = depth == 24 ? wall : int(wall * 1.05) + 1
    report(walls >= lo && walls <= hi, "outline grains shown as " wall_shown ": " walls + 0 " pixels for " wall " grains")
    if (walls > 0) {
      cx = wall_sx / walls; cy = wall_sy / walls
      report(cx >= frame_x + ox_min + wall_cx - 2 && cx <= frame_x + ox_max + wall_cx + 2 &&
             cy >= frame_y + oy_min + wall_cy - 2 && cy <= frame_y + oy_max + wall_cy + 2,
             sprintf("outline centred at (%.1f, %.1f) on the vessel's path", cx, cy))
    }
    report(grey >= 3000 && grey_out <= grey / 100,
           "the vessel's grey frame: " grey + 0 " grey pixels, " grey_out + 0 " outside the picture")
  }
  for (k = 1; k <= sands; ++k)
    if (sand_checked[k]) report(sand_n[k] >= 5, "sand " sand[k] " shown as " sand_shown[k] ": " sand_n[k] + 0 " pixels")
  report(sand_out == 0, "all sand inside the glass (" sand_out + 0 " pixels outside)")
  exit failed
}
