#pragma once
// Child processes for the tests: one left running under a chosen executable name, and one run to its
// end with its standard error and exit status collected.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace test_support {

namespace detail {
inline std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The current environment with `changes` applied (a value of nullopt removes the variable).
inline std::vector<std::string> environment_with(
    const std::map<std::string, std::optional<std::string>>& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry; ++entry) {
    const std::string item = *entry;
    if (!changes.contains(item.substr(0, item.find('=')))) result.push_back(item);
  }
  for (const auto& [name, value] : changes) {
    if (value) result.push_back(name + "=" + *value);
  }
  return result;
}
}  // namespace detail

// A copy of /bin/sleep named `exe_path`, started and left running until stop() or destruction.
class RunningProcess {
 public:
  explicit RunningProcess(const std::filesystem::path& exe_path) {
    std::filesystem::copy_file("/bin/sleep", exe_path, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(exe_path, std::filesystem::perms::owner_all);
    std::vector<std::string> args = {exe_path.string(), "300"};
    auto argv = detail::c_strings(args);
    if (::posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
      throw std::runtime_error("can't start " + exe_path.string());
  }
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;
  ~RunningProcess() { stop(); }

  pid_t pid() const { return pid_; }
  void stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  pid_t pid_ = -1;
};

struct Outcome {
  int exit_status = -1;  // -1 when it did not exit normally
  std::string standard_error;
};

// Runs `program` with `arguments` in `directory`, with `changes` to the environment, until it ends.
inline Outcome run_program(const std::string& program, const std::string& directory,
                           const std::map<std::string, std::optional<std::string>>& changes,
                           const std::vector<std::string>& arguments = {}) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
  ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
  std::vector<std::string> args = {program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env = detail::environment_with(changes);
  auto argv = detail::c_strings(args);
  auto envp = detail::c_strings(env);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  Outcome outcome;
  if (spawned != 0) {
    ::close(pipe_fds[0]);
    throw std::runtime_error("can't start " + program);
  }
  char chunk[4096];
  ssize_t n;
  while ((n = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0)
    outcome.standard_error.append(chunk, static_cast<std::size_t>(n));
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) outcome.exit_status = WEXITSTATUS(status);
  return outcome;
}

}  // namespace test_support
