# Homebrew formula: builds the server with CMake and installs
# bin/quillstack-mcp. Each release attaches this file with url and sha256
# filled from its source tarball (scripts/fill-formula.sh); until the first
# release, install from the repository's head with --HEAD. Homebrew installs
# only from a tap, so put the file into one:
#   brew tap-new --no-git local/quillstack
#   cp quillstack-mcp.rb "$(brew --repository local/quillstack)/Formula/"
#   brew install [--HEAD] local/quillstack/quillstack-mcp
class QuillstackMcp < Formula
  desc "MCP server giving AI clients access to a quillstack journaling vault"
  homepage "https://github.com/quillstack/quillstack-mcp"
  url "https://github.com/quillstack/quillstack-mcp/releases/download/v0.1.0/quillstack-mcp-0.1.0.tar.gz"
  sha256 "0000000000000000000000000000000000000000000000000000000000000000"
  license "MIT"
  head "https://github.com/quillstack/quillstack-mcp.git", branch: "main"

  depends_on "cmake" => :build
  depends_on "nlohmann-json" => :build
  depends_on "icu4c@78"
  depends_on "simdjson"
  depends_on "sqlite"

  def install
    args = %W[
      -DQS_BUILD_TESTS=OFF
      -DQS_BUILD_BENCH=OFF
      -DICU_ROOT=#{Formula["icu4c@78"].opt_prefix}
      -DSQLite3_ROOT=#{Formula["sqlite"].opt_prefix}
    ]
    system "cmake", "-S", ".", "-B", "build", *args, *std_cmake_args
    system "cmake", "--build", "build", "--target", "quillstack-mcp"
    system "cmake", "--install", "build"
  end

  test do
    # A head build's version is HEAD-<commit>; the binary names its own.
    assert_match(/\Aquillstack \d+\.\d+\.\d+\n\z/, shell_output("#{bin}/quillstack-mcp --version"))

    # A real session: a vault holding an empty timeline index answers a ping.
    (testpath/"vault/core/Dashboard.json").write '{"feedItems":[]}'
    output = pipe_output("#{bin}/quillstack-mcp --vault #{testpath}/vault",
                         "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n")
    assert_match "\"id\":1", output
  end
end
