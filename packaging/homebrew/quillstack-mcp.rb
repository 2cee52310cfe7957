# Homebrew formula: builds the server from a release tarball with CMake and
# installs bin/quillstack-mcp. homepage, url and sha256 are placeholders until
# the first release is published: set them (`shasum -a 256` of the tarball),
# then `brew install --build-from-source ./packaging/homebrew/quillstack-mcp.rb`
# or publish the formula in a tap.
class QuillstackMcp < Formula
  desc "MCP server giving AI clients access to a quillstack journaling vault"
  homepage "https://github.com/quillstack/quillstack-mcp"
  url "https://github.com/quillstack/quillstack-mcp/archive/refs/tags/v0.1.0.tar.gz"
  sha256 "0000000000000000000000000000000000000000000000000000000000000000"

  depends_on "cmake" => :build
  depends_on "nlohmann-json" => :build
  depends_on "icu4c"
  depends_on "simdjson"

  def install
    args = %W[
      -DQS_BUILD_TESTS=OFF
      -DQS_BUILD_BENCH=OFF
      -DICU_ROOT=#{Formula["icu4c"].opt_prefix}
    ]
    system "cmake", "-S", ".", "-B", "build", *args, *std_cmake_args
    system "cmake", "--build", "build", "--target", "quillstack-mcp"
    system "cmake", "--install", "build"
  end

  test do
    assert_equal "quillstack #{version}\n", shell_output("#{bin}/quillstack-mcp --version")

    # A real session: a vault holding an empty timeline index answers a ping.
    (testpath/"vault/core/Dashboard.json").write '{"feedItems":[]}'
    output = pipe_output("#{bin}/quillstack-mcp --vault #{testpath}/vault",
                         "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n")
    assert_match "\"id\":1", output
  end
end
