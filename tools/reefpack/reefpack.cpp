// reefpack: the content kit's command line (build the resource folder, pack, inspect and
// validate fish archives, install them, write a download list).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ArchiveTools.h"
#include "Assets.h"
#include "Install.h"
#include "settings/Paths.h"

namespace {

const char* kUsage =
    "usage: reefpack COMMAND ...\n"
    "\n"
    "  build-assets DIR        write the resource folder: kelpish.tidewares, kelpish.wav,\n"
    "                          the bundled *.fish archives and fallback.jpg\n"
    "  pack OPTIONS            make a fish archive from your own MilkShape 3D model and TGA skins\n"
    "      --model FILE.ms3d   the model (versions 3 and 4); head towards +z, back towards +y\n"
    "      --skin FILE.tga     a skin (repeat for more; every fish wears one at random)\n"
    "      --mode N[,N...]     texture mode per skin: 0 opaque, 1 colour key, 2 alpha from brightness\n"
    "      --mask FILE.tga     24-bit greyscale translucency shared by all skins (24-bit skins, same size)\n"
    "      --name NAME         display name, at most 39 bytes\n"
    "      --water salt|fresh  water type (default salt)\n"
    "      --scale N           model scale in percent (default 100)\n"
    "      --speed N           swimming speed, units per second (default 8)\n"
    "      --turn N            turning rate, degrees per second (default 60)\n"
    "      --anim-speed N      swim animation speed, 1000 = the model's own rate (default 1000)\n"
    "      --swim-frames N     swim cycle: frames 2 to N + 2 (required)\n"
    "      --rest-frames N     rest cycle: frames N_swim + 3 to N_swim + 3 + N (required)\n"
    "      --out FILE.fish     the archive to write\n"
    "  inspect FILE            print an archive's header, directory and model\n"
    "  validate FILE...        load every archive with the engine's readers; exit 1 on any failure\n"
    "  install [--replace] FILE...\n"
    "                          check each archive as the screen saver loads it and copy it into\n"
    "                          the per-user fish folder; a species already there is replaced\n"
    "                          only with --replace; exit 1 when any file is refused\n"
    "  index DIR               make DIR a fish source: writes DIR/mac/zips/fish/fishTypes14.plist\n"
    "                          listing DIR's fish archives; serve DIR (python3 -m http.server) or\n"
    "                          give its file:// address to reefmere-config\n"
    "  list DIR BASEURL [OUT]  write the download list of the fish archives in DIR\n"
    "                          (default OUT: DIR/fishTypes14.plist)\n";

bool ParseInt(const char* s, int* out) {
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (!s[0] || *end || v < -1000000000L || v > 1000000000L) return false;
    *out = static_cast<int>(v);
    return true;
}

int Usage(const char* problem) {
    std::fprintf(stderr, "reefpack: %s\n%s", problem, kUsage);
    return 2;
}

int Pack(int argc, char** argv) {
    reefpack::PackOptions opt;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return Usage(("missing value after " + a).c_str());
        const char* v = argv[++i];
        int* number = nullptr;
        if (a == "--model")
            opt.modelPath = v;
        else if (a == "--skin")
            opt.skins.push_back(v);
        else if (a == "--mask")
            opt.maskPath = v;
        else if (a == "--name")
            opt.name = v;
        else if (a == "--out")
            opt.outPath = v;
        else if (a == "--water") {
            if (!std::strcmp(v, "salt") || !std::strcmp(v, "0"))
                opt.waterType = 0;
            else if (!std::strcmp(v, "fresh") || !std::strcmp(v, "1"))
                opt.waterType = 1;
            else
                return Usage("--water takes salt or fresh");
        } else if (a == "--mode") {
            for (const char* p = v; *p;) {
                char* end = nullptr;
                long m = std::strtol(p, &end, 10);
                if (end == p || m < 0 || m > 255) return Usage("--mode takes numbers separated by commas");
                opt.modes.push_back(static_cast<uint32_t>(m));
                p = *end == ',' ? end + 1 : end;
                if (*end && *end != ',') return Usage("--mode takes numbers separated by commas");
            }
        } else if (a == "--scale")
            number = &opt.modelScale;
        else if (a == "--speed")
            number = &opt.swimSpeed;
        else if (a == "--turn")
            number = &opt.turnRate;
        else if (a == "--anim-speed")
            number = &opt.animSpeed;
        else if (a == "--swim-frames")
            number = &opt.swimFrames;
        else if (a == "--rest-frames")
            number = &opt.secondFrames;
        else
            return Usage(("unknown option " + a).c_str());
        if (number && !ParseInt(v, number)) return Usage((a + " takes a whole number").c_str());
    }
    if (opt.modelPath.empty()) return Usage("pack needs --model");
    if (opt.swimFrames < 0 || opt.secondFrames < 0) return Usage("pack needs --swim-frames and --rest-frames");
    std::string error, warnings;
    bool ok = reefpack::PackFish(opt, &error, &warnings);
    if (!warnings.empty()) std::fprintf(stderr, "%s", ("reefpack: warning: " + warnings).c_str());
    if (!ok) {
        std::fprintf(stderr, "reefpack: refused: %s\n", error.c_str());
        return 1;
    }
    std::printf("wrote %s\n", opt.outPath.c_str());
    return 0;
}

int Install(int argc, char** argv) {
    bool replace = false;
    std::vector<const char*> files;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--replace"))
            replace = true;
        else
            files.push_back(argv[i]);
    }
    if (files.empty()) return Usage("install takes at least one file");
    const std::string folder = UserFishFolder();
    int failed = 0;
    for (const char* file : files) {
        reefpack::InstallOutcome o = reefpack::InstallFish(file, folder, replace);
        switch (o.status) {
            case reefpack::InstallOutcome::Installed:
                std::printf("installed %s: \"%s\" as %s\n", file, o.displayName.c_str(), o.path.c_str());
                continue;
            case reefpack::InstallOutcome::Exists:
                std::fprintf(stderr, "reefpack: %s: \"%s\" is already installed (%s); --replace replaces it\n", file,
                             o.displayName.c_str(), o.existing.front().c_str());
                break;
            default:
                std::fprintf(stderr, "reefpack: %s: refused: %s\n", file, o.reason.c_str());
                break;
        }
        ++failed;
    }
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage("no command given");
    std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::printf("%s", kUsage);
        return 0;
    }
    if (cmd == "build-assets") {
        if (argc != 3) return Usage("build-assets takes one folder");
        return reefpack::BuildAssets(argv[2]) ? 0 : 1;
    }
    if (cmd == "pack") return Pack(argc, argv);
    if (cmd == "inspect") {
        if (argc != 3) return Usage("inspect takes one file");
        std::string error;
        if (!reefpack::InspectArchive(argv[2], stdout, &error)) {
            std::fprintf(stderr, "reefpack: %s: %s\n", argv[2], error.c_str());
            return 1;
        }
        return 0;
    }
    if (cmd == "validate") {
        if (argc < 3) return Usage("validate takes at least one file");
        int failed = 0;
        for (int i = 2; i < argc; ++i) {
            std::string summary, error;
            if (reefpack::ValidateArchive(argv[i], &summary, &error)) {
                std::printf("ok %s: %s\n", argv[i], summary.c_str());
            } else {
                std::fprintf(stderr, "FAILED %s: %s\n", argv[i], error.c_str());
                ++failed;
            }
        }
        return failed ? 1 : 0;
    }
    if (cmd == "install") return Install(argc, argv);
    if (cmd == "index") {
        if (argc != 3) return Usage("index takes one folder");
        std::string out, error;
        int count = 0;
        if (!reefpack::WriteIndex(argv[2], &out, &count, &error)) {
            std::fprintf(stderr, "reefpack: %s\n", error.c_str());
            return 1;
        }
        std::printf("wrote %s (%d species)\n", out.c_str(), count);
        return 0;
    }
    if (cmd == "list") {
        if (argc != 4 && argc != 5) return Usage("list takes a folder, a base address and optionally an output file");
        std::string out = argc == 5 ? argv[4] : std::string(argv[2]) + "/fishTypes14.plist";
        std::string error;
        int count = 0;
        if (!reefpack::WriteDownloadList(argv[2], argv[3], out, &count, &error)) {
            std::fprintf(stderr, "reefpack: %s\n", error.c_str());
            return 1;
        }
        std::printf("wrote %s (%d species)\n", out.c_str(), count);
        return 0;
    }
    return Usage(("unknown command " + cmd).c_str());
}
