#include "ui/usage/UsageText.h"

#include <array>

namespace ovik {

namespace {

// One entry per line of the usage window; long entries wrap in the window.
// Headings start with "--- ", the two tools under Alternatives with "-- ".
constexpr auto kUsageLines = std::to_array<const char*>({
    "--- Ovik",
    "Verifies archives and other file transfers.",
    "",
    "Ovik gives a plain yes or no answer to the question \"is this archive or copy "
    "complete and correct?\". It compares the contents of all files in one folder and "
    "its sub-folders (the source) with the contents of the files at the same places in "
    "another folder (the destination).",
    "",
    "Files of any size and of any type are compared, byte for byte.",
    "Ovik only reads: it never changes, moves or deletes a file in either folder.",
    "",
    "If you want to know more, the details of every file can be shown: mismatched sizes, "
    "mismatched contents, missing files and so on.",
    "",
    "Any folder can be chosen as the source or the destination, including folders on "
    "external drives, memory cards and discs.",
    "",
    "Help, About shows where to find contact details and updates.",
    "",
    "--- Usage",
    "",
    "Ovik verifies archives; it does not compare folders. It checks that every file in the "
    "source folder has an identical twin in the destination folder, but it does not look "
    "for extra files in the destination folder. That is why the two folders are called "
    "source and destination rather than first and second.",
    "",
    "So a transfer that adds files to a destination folder which already holds other files "
    "verifies without false alarms about destination files that the source does not have.",
    "",
    "The Swap button exchanges the source and the destination folders, so you do not have "
    "to browse for them again.",
    "",
    "A full comparison of two folders is possible in two passes: Verify, Swap, Verify. The "
    "first pass finds files that are missing or different in the destination, the second "
    "finds files that are missing in the source.",
    "",
    "While a verify runs, the totals and the progress bar show how far it has got, and the "
    "Abort button stops it.",
    "",
    "When the run ends, the status line gives the verdict: Verified OK in green, or Errors "
    "in red.",
    "",
    "The More details button shows a list of all files checked. Each line starts with the "
    "result for that file (ok, destination file missing, mismatched sizes, mismatched "
    "contents and so on), and the list is sorted with the errors at the top.",
    "",
    "The details can be copied to the clipboard with the Copy items of the Edit menu, or "
    "written to a file with the Save items of the File menu.",
    "",
    "A file can be saved as plain text, or as a CSV file for a spreadsheet or a database. "
    "In the CSV file the result prefix and the file name are two separate fields.",
    "",
    "Copying and saving can take all details, errors only, non-errors only or just the "
    "lines selected in the list.",
    "",
    "Hidden folders (their names start with a dot, such as .config) and a drive's own "
    "lost+found folder are skipped, and the details name each folder skipped. Tick Include "
    "hidden folders in the File menu to verify them too; changing it clears the results.",
    "",
    "Tick Record checksums in the File menu, and the runs that follow note a checksum of "
    "every source file; Save checksum list writes them to a file that the sha256sum tool "
    "can check too. Keep it with the copy.",
    "",
    "Years later, when the source is gone, Verify with checksum list in the File menu "
    "checks the copy against that file: choose the list, then the folder it describes. "
    "Lists made by sha256sum, md5sum or b2sum, such as the SHA256SUMS of a download, work "
    "too.",
    "",
    "If you find a problem with Ovik, please report it. Help, About shows the web address "
    "where the contact details are.",
    "",
    "--- Practical examples/advantages",
    "",
    "--- Verifying CD/DVD burning",
    "",
    "Disc-burning programs often offer to verify a disc after burning it, but that check "
    "covers only the burn just made, and when it fails it says little about what went "
    "wrong.",
    "",
    "Ovik can check any existing disc against the folder it was burned from, at any time, "
    "and it tells you exactly which files failed.",
    "It only reads the disc, so the check can be repeated as often as you like.",
    "",
    "--- Verifying transfers to external USB discs",
    "",
    "Copies to external USB drives can be corrupted without any warning from the operating "
    "system: a loose cable, a failing drive or a drive unplugged too early can leave "
    "damaged files behind.",
    "",
    "Checking every file, of every type, with Ovik confirms that the transfer is complete "
    "and correct.",
    "It is worth doing before the originals are deleted.",
    "",
    "--- Alternatives",
    "",
    "Ovik gives a simple yes/no check of every file. It does not tell where inside a file "
    "the differences are. If you need a list of every mismatch inside a file, two free "
    "comparison tools that come with Linux can help:",
    "",
    "-- cmp",
    "A command-line tool that compares two files byte by byte. With the -l option it lists "
    "every differing byte, with its position and both values. It compares one pair of "
    "files at a time and cannot scan sub-folders.",
    "Without -l it stops at the first difference.",
    "Example: cmp -l original.iso copy.iso",
    "",
    "-- diff -r",
    "A command-line tool that walks two folders and all their sub-folders. It shows the "
    "differences between text files well, line by line, but about other files it says "
    "little more than that they differ. It has no folder browsing: both folders are typed "
    "as paths.",
    "It also names the files found in only one of the two folders.",
    "Example: diff -r ~/Photos /media/backup/Photos",
    "",
    "Both tools are run in a terminal; their manual pages (man cmp, man diff) describe "
    "all their options.",
    "",
    "Ovik is the simpler choice when you only need to know whether everything arrived "
    "intact, and which files did not.",
    "",
    "--- Uninstalling",
    "Remove Ovik with the package manager if it was installed as a package, or delete the "
    "files that the install step listed if it was installed from a build (the install step "
    "writes their list to install_manifest.txt in the build folder).",
    "",
    "Administrator (root) rights are needed to remove a system-wide install, such as one "
    "under /usr or /usr/local.",
});

}  // namespace

QStringList UsageLines() {
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(kUsageLines.size()));
  for (const char* line : kUsageLines) lines.append(QString::fromUtf8(line));
  return lines;
}

QString UsageText() { return UsageLines().join(QLatin1Char('\n')); }

}  // namespace ovik
