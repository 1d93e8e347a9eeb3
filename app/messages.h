// The texts of the fatal message boxes.
#pragma once

namespace msg {
constexpr const char kAlreadyRunning[] =
    "The installation is already running on this system.\nInstallation cannot proceed "
    "further.\n\nAborting Installation";
constexpr const char kInternalError[] =
    "Internal error occured.Installation cannot proceed further.\n\nAborting Installation";
constexpr const char kExtractError[] =
    "Internal error occured while extracting files for installation.\nInstallation cannot "
    "proceed further.\nAborting Installation";
constexpr const char kNoTempFolder[] =
    "Could not get the Temp folder location.Installation cannot proceed further.\n\nAborting "
    "Installation";
constexpr const char kNoDiskSpace[] =
    "Insufficient disk space for extraction.\nInstallation cannot proceed further.\nAborting "
    "Installation";
constexpr const char kNoFolderName[] =
    "Could not get the Temp folder name.Installation cannot proceed further.\n\nAborting "
    "Installation";
constexpr const char kCannotCreateFolder[] =
    "Cannot create folder for extracting installation files.\nInstallation cannot proceed "
    "further.\nAborting Installation";
constexpr const char kCorruptImage[] =
    "The Installation files seems to be corrupt.\nPlease contact your vendor.\nInstallation "
    "cannot proceed further";
constexpr const char kCannotStartInstaller[] =
    "Could not start the installation program.\nInstallation cannot proceed further.\nAborting "
    "Installation";
}  // namespace msg
