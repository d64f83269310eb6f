#pragma once

#include <string>

// A unique empty folder under the system's temporary folder, removed with everything in it when
// the object goes. Paths come in the host's own spelling (backslashes and a drive letter on
// Windows), as the file service hands them to the host. Names given to the helpers are relative
// to the folder and may use "/" between components.
class TempDir {
  public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();

    const std::string& Path() const { return m_path; }
    // The folder's path, the host's separator, then `name`.
    std::string Join(const std::string& name) const;

    // Each helper answers whether it succeeded, so a test can assert its own set-up.
    bool MakeFile(const std::string& name, const std::string& contents = "") const;
    bool MakeFolder(const std::string& name) const;
    // The whole file, or "" when it cannot be read.
    std::string Contents(const std::string& name) const;
    bool Exists(const std::string& name) const;

  private:
    std::string m_path;
};
