#include "app/AppTexts.h"
#include "app/WindowProgram.h"
#include "store/SystemErrorText.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <filesystem>
#include <vector>

#include <unistd.h>

namespace tavik::app {

// Beside this program in the build folder; where the package puts it otherwise.
QString startWindow(int argc, char* argv[])
{
    std::error_code unknown;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", unknown);
    const std::filesystem::path folder = self.parent_path();
    const std::filesystem::path places[]
        = { folder / "tavik-migrate-window", folder / TAVIK_WINDOW_FOLDER / "tavik-migrate-window" };
    for (const std::filesystem::path& program : places) {
        if (::access(program.c_str(), X_OK) != 0)
            continue;
        std::vector<char*> arguments(argv, argv + argc);
        arguments.push_back(nullptr);
        std::string name = program.string();
        arguments[0] = name.data();
        ::execv(name.c_str(), arguments.data());
        return texts::windowNotStarted.arg(QFile::decodeName(name.c_str()), store::germanSystemError(errno));
    }
    return texts::windowMissing.arg(QFile::decodeName(places[1].lexically_normal().c_str()));
}

} // namespace tavik::app
