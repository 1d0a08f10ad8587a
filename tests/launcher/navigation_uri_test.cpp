#include "launcher/gtk/navigation_uri.h"

#include <gtest/gtest.h>

namespace sorvanta::gtk {
namespace {

TEST(NavigationUri, FilePathsBecomeEscapedFileUris) {
  EXPECT_EQ(navigation_uri("/opt/Veltrano/progetto_html/index.html"),
            "file:///opt/Veltrano/progetto_html/index.html");
  EXPECT_EQ(navigation_uri("/home/anna/Catalogo Veltrano/index.html"),
            "file:///home/anna/Catalogo%20Veltrano/index.html");
  EXPECT_EQ(navigation_uri("/home/anna/Catalogo è #1 100%?/index.html"),
            "file:///home/anna/Catalogo%20%C3%A8%20%231%20100%25%3F/index.html");
  EXPECT_EQ(navigation_uri("/a\\b/index.html"), "file:///a%5Cb/index.html")
      << "a backslash is a name's own byte";
}

TEST(NavigationUri, TheRootsDoubleSlashIsOneSeparator) {
  EXPECT_EQ(navigation_uri("//index.html"), "file:///index.html");
  EXPECT_EQ(navigation_uri("/srv//catalogo/index.html"), "file:///srv/catalogo/index.html");
}

TEST(NavigationUri, AnythingButAnAbsolutePathGoesUnchanged) {
  EXPECT_EQ(navigation_uri("file:///tmp/x%20y/index.html"), "file:///tmp/x%20y/index.html");
  EXPECT_EQ(navigation_uri("https://www.example.com/catalogo"), "https://www.example.com/catalogo");
  EXPECT_EQ(navigation_uri("C:\\Catalogo/index.html"), "C:\\Catalogo/index.html");
  EXPECT_EQ(navigation_uri(""), "");
}

TEST(NavigationUri, OnlyAFolderWhoseNameIsNotUtf8IsOpened) {
  struct Case {
    std::string address;
    std::size_t folder_length;
  };
  const Case cases[] = {
      {"/home/anna/Catalogo \xE8/index.html", 21},     // Latin-1 è
      {"/srv/\xFF\xFE/catalogo/index.html", 16},       // the bad name higher up
      {"/home/anna/Catalogo \xC3\xA8/index.html", 0},  // UTF-8 è
      {"/home/anna/Catalogo/\xE8.html", 0},            // the file's own name: nothing to step over
      {"/\xE8.html", 0},
      {"relativo/\xE8/index.html", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(folder_to_open(c.address), c.folder_length) << c.address;
}

TEST(NavigationUri, AnOpenFolderIsReachedThroughItsDescriptor) {
  EXPECT_EQ(uri_through_descriptor("/home/anna/Catalogo \xE8/index.html", 21, 4321, 17),
            "file:///proc/4321/fd/17/index.html");
  EXPECT_EQ(uri_through_descriptor("/x/\xE8/Pagina uno.html", 4, 1, 3),
            "file:///proc/1/fd/3/Pagina%20uno.html");
}

}  // namespace
}  // namespace sorvanta::gtk
