#pragma once
// The texts the engine and the search show, word for word.
namespace quorvane::texts {

inline constexpr char kAppCaption[] = "Quorvane";
inline constexpr char kCreateFileFailed[] = "CreateFile () Failed !";
inline constexpr char kReadingSectorsFailed[] = "Reading sectors ...Failed  ";
inline constexpr char kGiveFile[] = "Please give/select a file to undelete ";
inline constexpr char kFat32Only[] = "Undeletion from fat-32 partitions only";
inline constexpr char kExtractingBootSector[] = "Extracting the boot sector info ...";
inline constexpr char kErrorBootSector[] = "Error reading boot sector !";
inline constexpr char kSearchingDirectories[] =
    "Searching the directory structure for the deleted file ...";
inline constexpr char kUse83[] = "Please use dos 8.3 file name format !!";
inline constexpr char kUse8ByteDirs[] = "Please use 8 byte long directory names !";
inline constexpr char kErrorReadingDir[] = "Error reading root directory sectors ...!";
inline constexpr char kFileNotFoundBox[] = "File not found !";
inline constexpr char kFileNotFoundStatus[] = "File not found in the directory structure...";
inline constexpr char kErrorOpeningBox[] = "Error opening file for writing !!";
inline constexpr char kErrorOpeningStatus[] = "Error opening file for writing ...";
inline constexpr char kAborted[] = "Undeletion Aborted !";
inline constexpr char kUndeletingFormat[] = "Undeleting file ...\nReading cluster  \n%d of %d";
inline constexpr char kUndeleted[] = "File Undeleted !";
inline constexpr char kPartlyFormat[] = "Only %d of %d clusters could be undeleted !";
inline constexpr char kPartlyStatus[] = "File partly undeleted ...";
inline constexpr char kErrorWritingBox[] = "Error writing file !!";
inline constexpr char kErrorWritingStatus[] = "Error writing file ...";
inline constexpr char kOtherDrive[] = "Please select an output directory on another drive !";
// A recovered file never replaces one: when its name is taken it is written
// under the next free numbered name, and the status says so.
inline constexpr char kNameTaken[] = " exists: writing ";
inline constexpr char kSavedAs[] = "\nSaved as ";
// A first cluster rebuilt from evidence is never used silently.
inline constexpr char kRebuiltFromFormat[] = "\nFrom first cluster %d (rebuilt)";
inline constexpr char kGuessedFromFormat[] = "\nFrom first cluster %d (guessed)";

}  // namespace quorvane::texts
