#include "search_options.h"

#include "options.h"

namespace vardelk {

void DefineSearchOptions(CLI::App& app, SearchOptions& o, std::string& threadsText) {
    app.name("vardelk search");
    app.description(
        "Finds the intra matrix (DC 8, AC entries 1..255) that saves the most rate against the default matrix over "
        "a range of scale codes on a set of pictures, for a quality measure and an encoder's coding model, checks "
        "it on other pictures and, where that encoder is installed, has the encoder itself confirm it.");
    // Checked by the command, whose message says what to give.
    app.add_option("inputs", o.inputs, "Pictures (.png, .jpg), clips (.y4m), folders of them, or list files")
        ->type_name("SET");
    app.add_option("--measure", o.measure,
                   "psnr (luma, default), ssim (all planes, in dB), psnr611 (Y, Cb, Cr 6:1:1), ssimulacra2 "
                   "(the perceptual score; candidates coded at six of the scale codes, the figures at all), "
                   "butteraugli (-ln of its 3-norm, as ssimulacra2) or ssimulacra2+butteraugli (both opinions: "
                   "the worse of the two BD-rates decides, a matrix must improve by both)")
        ->check(CLI::IsMember(SearchMeasureNames()))
        ->type_name("MEASURE");
    app.add_option("--encoder", o.encoder,
                   "The coding model the matrix is for: ffmpeg (default), mpeg2enc, tm5, or filter (the module's own)")
        ->type_name("NAME");
    app.add_option("--intra-vlc", o.intraVlc, "AC table of the model: 0 or 1 (default: the encoder's)")
        ->type_name("0|1");
    app.add_option("--dc-precision", o.dcPrecision, "DC precision of the model in bits, 8..11 (default: the encoder's)")
        ->type_name("BITS");
    app.add_option("--codes", o.codes, "Scale codes of the curves, linear mapping: A..B or a list (default 2..16)")
        ->type_name("CODES");
    app.add_option("--band", o.band,
                   "Search in a band of rates: low (0.35-0.7 bpp), mid (0.7-1.4) or high (1.4-2.8), the figures "
                   "taken over the qualities the default gives there and the scale codes chosen to cover it on "
                   "every picture (instead of --codes)")
        ->check(CLI::IsMember({"low", "mid", "high"}))
        ->type_name("BAND");
    app.add_option("--bpp", o.bpp, "Search in a band of bits per pixel of one's own, A..B (as --band)")
        ->type_name("A..B");
    app.add_option("--budget", o.budget,
                   "Time for the search: 90s, 10m, 1h; 0 for none (default 10m); the real encoder's confirmation "
                   "comes after it")
        ->type_name("DURATION");
    app.add_option("--evaluations", o.evaluations, "Stop after this many matrices (default: no limit)")->type_name("N");
    app.add_option("--seed", o.seed, "Seed of the order in which moves are tried (default 1)")->type_name("N");
    app.add_option("-j,--threads", threadsText, "Threads, 1..1024 (default: every core); results do not depend on it")
        ->type_name("N");
    app.add_option("--frames", o.frames,
                   "Frames taken from each clip, spread evenly over it: the middle frame of each of N equal "
                   "stretches (default 1)")
        ->check(CLI::Range(1, 1000))
        ->type_name("N");
    app.add_option("--validate", o.validate, "Pictures to check the found matrix on (same forms as the inputs)")
        ->type_name("SET");
    app.add_option("--out", o.out,
                   "Folder for matrix.*.txt, report.json, rd.svg, rd.png and confirmation.svg/.png (default "
                   "search-out); these files of an earlier run there are replaced or removed")
        ->type_name("DIR");
    app.add_option("--min-overlap", o.minOverlap,
                   "Refuse matrices whose curve shares less than this part of its quality range with both the "
                   "default's and flat16's on any picture, 0..1 (default 0.75, where BD figures start to warn)")
        ->check(CLI::Range(0.0, 1.0))
        ->type_name("FRACTION");
    app.add_option("--spread", o.spread,
                   "Weight of the penalty for pictures that gain less than the set, 0..10 (default 0.5; 0: the "
                   "weighted mean alone)")
        ->check(CLI::Range(0.0, 10.0));
    app.add_flag("--shape-only", o.shapeOnly, "Stop after the smooth shape phase (no moves of single entries)");
    app.add_flag("--no-confirm", o.noConfirm, "Do not run the real encoder at the end");
    app.add_flag("-q,--quiet", o.quiet, "No progress line and no summary");
    app.footer(
        "Exit status: 0 when done, 130 when stopped by Ctrl-C (outputs hold the best so far), 1 on failure, "
        "2 for a wrong command line.");
}

}  // namespace vardelk
