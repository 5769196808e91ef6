// The bench of the bundle runs: the bundled example update, bundles made of it
// by corvane-tool, a simulated card on TCP, and corvane-updater run on a bundle
// with a temporary folder and a per-user configuration of the test's own.
#pragma once

#include "BundleTestSupport.h"
#include "ChildProcess.h"
#include "RunProcess.h"
#include "TempDir.h"

#include <string>
#include <vector>

class BundleRun {
public:
    // Copies the example and starts the card.
    explicit BundleRun(const std::vector<std::string>& cardOptions = {});

    bool CardStarted() const { return !CardPort.empty(); }
    // The card's --port text.
    std::string PortText() const { return "tcp://127.0.0.1:" + CardPort; }
    // corvane-tool bundle of the example into the bundles' folder, signed with
    // the secret key when one is given; the bundle's path.
    std::string MakeBundle(const std::string& name, const std::string& secretKey = {});
    // A path in the bundles' folder, for a bundle written by the test.
    std::string BundlePath(const std::string& name) const { return Dir.Path() + "bundles/" + name; }
    // corvane-updater --batch on the bundle, on the card's port unless the
    // per-user Updater.prm is to lead to it.
    ProcessResult Update(const std::string& bundle, const std::vector<std::string>& options = {}, bool port = true);
    // The program with this test's temporary folder and configuration.
    std::vector<std::string> Program(const std::vector<std::string>& argv) const;
    // Writes the per-user Updater.prm that leads to the card.
    void WriteUserSettings() const;
    // The bytes the card received from the PC, once it is stopped.
    long long BytesTheCardReceived();
    // corvane-tool check of what the card holds against the example, once it is stopped.
    ProcessResult Check();

    // The temporary folder holds nothing: every unpacked bundle was removed.
    bool TemporaryFolderEmpty() const;
    // Every file below the folder, relative to it.
    std::vector<std::string> FilesIn(const std::string& folder) const;
    std::string UserFolder() const { return Dir.Path() + "config/corvane-pelto-updater/"; }

    TempDir Dir;

private:
    std::string StatePath;
    ChildProcess Card;
    std::string CardPort;
};

