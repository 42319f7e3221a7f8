// The renderer's images: the last frame as a PNG or raw bytes, the animation as a GIF, each at a
// whole scale. The PNG and GIF decode the surface through its layout to RGB; all three write
// through an OutputFile.
#pragma once

#include <gif_lib.h>

#include "headless.h"
#include "message.h"
#include "output_file.h"

// Writes the surface of run as an 8-bit RGB PNG to out, each pixel a scale x scale block.
bool write_png(OutputFile& out, const HeadlessRun* run, int scale, Message& error);

// Writes the surface's bytes, top row first, each pixel a scale x scale block.
bool write_raw(OutputFile& out, const HeadlessRun* run, int scale);

// An animated GIF under construction. Delays are kept in whole centiseconds, carrying the
// rounding remainder so that the delays add up to the run's time.
struct GifOutput {
    GifFileType* gif = nullptr;
    OutputFile* file = nullptr;
    double shown_seconds = 0.0;        // time covered by the images written so far
    long long shown_centiseconds = 0;  // the sum of their delays
    int scale = 1;                     // each pixel a scale x scale block
};

// Starts the file on an open output: the screen (scale times the frame), and a loop-forever
// extension.
bool gif_begin(GifOutput& out, OutputFile& file, int scale, Message& error);

// Adds the current surface as one image shown for seconds.
bool gif_add_image(GifOutput& out, const HeadlessRun* run, double seconds, Message& error);

// Writes the trailer and frees giflib's state; the output itself stays open. Called once, also
// after a failure.
bool gif_end(GifOutput& out, Message& error);
