// The help screens' texts, line by line. Lines are kept exactly as they
// have always read, spelling included: users quote them. Only what they say
// of the platform is told as it is here: the data folder's real path, the
// sound server and the desktop's printer settings.
#include "help/help_text.h"

#include "common/files.h"

#include <initializer_list>
#include <string_view>

namespace qelvar::help {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::string joinLines(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += kCrLf;
    }
    return text;
}

} // namespace

std::string mainHelpText() {
    return joinLines({
        "    Qelvar WAV Oscillator  -  Qelvar Workshop  -  Revision 1.0, 2025",
        "",
        "",
        "TESSALY:",
        "",
        "Press the USER button to go to the construction page to do pulsed sine and frequency "
        "sweeps.",
        "That page has it's own separate detailed help file.",
        "",
        "MAIN WAV OSCILLATOR CONTROLS:",
        "",
        "PLAY: ",
        "Generates tones for the selection of choice.",
        "",
        "STOP:",
        "Stops the current selection from playing.",
        "",
        "MIN:",
        "Minimizes the on screen form but continues playing the selection.",
        "",
        "HELP:",
        "Brings up this help screen. ",
        "",
        "OFF:",
        "Turns off the wav oscillator but writes to disk all memory setups and last selection "
        "status.",
        "",
        "FREQ, VOL L, VOLR are entered directly by toggling appropriate enter key, modifying the "
        "textbox then toggling the enter key again to accept.",
        "ALL OTHER PARAMETERS - changed by pressing approriate (mode, SR, bits) key to toggle "
        "through the choices.",
        "",
        "BIG KNOB IN MIDDLE:",
        "Toggles through 14 preset memories. Set frequency, volume, etc and then press USER again "
        "to set into memory(X).",
        "To recall memory setting repeatedly press the USER button and it will sequence through "
        "the memory settings.",
        "Whichever memory is numerically displayed will be continuously modified by on-the-fly "
        "user adjustments.",
        "",
        "DISPLAY:",
        "",
        "FREQUENCY - 10 TO 20000 Hertz.",
        "L VOL - volume of left (or mono) channel in dB attenuation from full output (0 to -99 dB)",
        "R VOL - volume of right channel in dB attenuation.",
        "BITS - 8, 16, 24 bit resolution of audio signal",
        "SAMPLE RATE - 32000, 44100, 48000 or 96000 samples/sec",
        "MODE - MONO, STEREO LEFT PLUS RIGHT, STEREO LEFT ONLY, STEREO RIGHT ONLY, STEREO LEFT "
        "MINUS RIGHT (RIGHT IS 180 DEGREES OUT OF PHASE).",
        "SEL - 1 through 14, shows which memory is currently chosen.",
        "RED LED - displayed whenever test tones are playing. Note: Modifying wav file formats "
        "while playing will causes test tones to stop.",
        "",
        "Technical:",
        "",
        "Plays and records through the desktop's sound server (PulseAudio or PipeWire). ",
        "Main oscillator uses 60K byte array and sequencer uses 3M array.",
        "",
        "WAV  HEADER TECHNICAL DETAILS:",
        "",
        "  BYTES 1-4:  RIFF indicating a valide wav file format",
        "  BYTES 5-8: Length of file minus 8 bytes",
        " BYTES 9-12: WAVE (more validating)",
        "BYTES 13-16: fmt_ prepare to read format info",
        "BYTES 17-20: 4 byte integer indicating lenngth of fmt chunk",
        "BYTES 21-22: wav format tag (1 for pcm)",
        "BYTES 23-24: number of channels (1 or 2)",
        "BYTES 25-28: n samples per sec",
        "BYTES 29-32: n avg bytes per sec",
        "BYTES 33-34: n block align (how many bytes to output at a time)",
        "BYTES 35-36: n bit per sample (8 16 or 24 bit resolution)",
        "BYTES 37-40: DATA (prepare to receive data)",
        "BYTES 41-43: Length of file",
        "BYTES 44,45,46: decimal value 00 114 248 if Dolby encoded",
        "",
        "NOTE:",
        "MSB(4) TO LSB(1) ORDER OF 4 BYTES GOES  1-2-3-4 in file datastream",
        "DTS has recurring block header (HEX) of FA EA F4 09 scattered at unpredictable",
        "spots through out the data.",
        "Stereo 16 bit format goes: (left) LSByte MSByte (right) LSByte MSByte.",
        "",
        "Qelvar is freeware: copy it and give it away freely, but do not sell it.",
        "Questions, reports and suggestions are welcome through the project's issue tracker.",
        "Qelvar WAV Oscillator revision 1.0.",
        "",
        "",
        "",
        "",
    });
}

std::string pageHelpText() {
    const std::string filesLine = "WAVSELF21.WAV, all in the directory " + dataDir() +
                                  "/. All wav files can be played on a regular media player if "
                                  "left in loop mode.";
    // The title line, then one blank line, then the body.
    return joinLines({
        "           Tessaly version 1.0   built 2025",
        "",
        "SQUARE WAVE - This uses the frequency 1 textboxes for freq and level. Note: soundcards "
        "don't make perfect squarewaves like hardware generators but they can still be useful for "
        "some things like filter phase distortion.",
        "TRIANGLE WAVE - This uses the frequency 1 textboxes for freq and level also.",
        "SMPTE IMD - generates a linear mix of 60 Hz and 6600Hz in a 4:1 amplitude ratio. Use with "
        "the Ostrel spectrum analyzer to look at 60 Hz sidebands of 6600 for IMD.  ",
        "CCIF IMD - generates double sideband suppressed carrier on 13500 Hz with +/-500Hz "
        "sidebands. Use with Ostrel again to look at 1 kHz IMD product.",
        "NOISE FILTER CREATION - Takes 2-3 minutes to generate all 6 stereo noise WAV files - do "
        "once at first install.",
        "NOTE: version 2.22 has zero crossing detectors for IEC and SUB noise - listen after "
        "building the noise files. If objectionable artifacts are heard, try rebuilding.",
        "WHITE NOISE - broadband spectrally flat noise, good for tsting digital filters and "
        "soundcard frequency response.",
        "PINK NOISE - equal energy per octave noise, 3 dB/octave. Used for speaker testing and A/B "
        "listening tests.",
        "UL NOISE - pink noise with a 50Hz high pass filter added - used for UL thermal tests.",
        "IEC NOISE - 28 Hz to 800 Hz band limited mono noise with 12 dB/octave rolloff on each "
        "side, also for IEC thermal tests.",
        "SUB NOISE - 120Hz low passed mono (12 dB/octave) white noise for testing subwoofers "
        "thermally.",
        "",
        "To set up a frequency sweep type the assorted freqs, levels (in -dB below full output), "
        "and time durations in ms",
        "into the appropriate boxes and press the associated BUILD button after each change. Check "
        "or uncheck the boxes you",
        "would like played in the sequence and then hit PLAY to start the sequencer, STOP to end "
        "the play. Preset LOOP ON to",
        "continuously play sweeps. All builds are 16 bit 44K sample rate, stereo mode.",
        "The pulser also requires hitting the associated BUILD button ",
        "after changing parameters. Long pulse patterns over 1 sec take 15-30 sec to build. The "
        "scratchpad is used by",
        "directly entering notes in the text box and the PASTE TO NOTES button will copy the "
        "current freqs and level readings",
        "into the notebox. You can then Copy and Paste them into other documents using the right "
        "mouse menu.",
        "All settings and scratchpad notes are saved at power down. All sweep freqs",
        "are 1-10 cycles in length in the build files (WAVSELF1.WAV - WAVSELF20.WAV) and the "
        "pulsed file is called",
        filesLine,
        "",
        "",
        "Example of building, running and graphing a sweep:",
        "",
        "Modify the freqs, levels, ms durations as desired",
        "Hit build for just the ones you modified or BUILD ALL FREQS to do them all (takes 3-5 "
        "seconds)",
        "Engage Full Duplex",
        "Engage Play",
        "After all readings are taken hit SET CAL",
        "Engage USE CAL and hit PLAY again",
        "You should have zeroed out the soundcard response and can now modify",
        "tone controls or other equipment in the soundcard play = record chain",
        "and graph the resulting response.",
        "Engage GRAPH and the graphing form will display itself and autoupdate it's readings.",
        "To change reference, range, line colors, line widths or choice of plotted channels",
        "use the pull down menus at the top of the form. ",
        "The PRINT menu has PLOT TO PRINTER which is the fastest and austosized to any printer "
        "paper. Pre setup",
        "the printer and landscape/potrait mode in the desktop's printer settings before "
        "hand (best on landscape).",
        "PRINTSCREEN will literally copy what is on the form to the printer and is useful when you "
        "load",
        "multiple saved sweeps in on top of each other and want to print them. Print To Plot will "
        "only",
        "plot the newest dataset.",
        "You may save or reload saved sweeps using the FILE pulldown menu. The file type defaults "
        "to .KZQ files",
        "but you may choose your own extensions.",
        "To save your preferences for graphing please exit through the file menu item marked EXIT.",
        "CLEAR zeroes out the current dataset and replots just the scale. It is used before "
        "loading new plots from file",
        "if you do not want the new plot on top of the last plot on the display.",
        "",
        "Tessaly is freeware and comes with the Qelvar WAV Oscillator.",
        "Questions, reports and suggestions are welcome through the project's issue tracker.",
        "Tessaly version 1.0.",
    });
}

} // namespace qelvar::help
