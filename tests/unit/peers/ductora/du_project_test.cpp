// Guards against a project file that is half-written, loses data on reload, or is
// overwritten when it could not be read.
#include <dirent.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "du_fake.h"

namespace {
size_t filesIn(const std::string& folder) {
  size_t n = 0;
  DIR* d = opendir(folder.c_str());
  while (dirent* e = readdir(d)) n += std::string(".") != e->d_name && std::string("..") != e->d_name;
  closedir(d);
  return n;
}
}  // namespace

TEST_F(DuctoraTest, PathsBesideTheDrawing) {
  EXPECT_EQ(du_project_path("/a/b/plant.dxf"), "/a/b/plant.ductora.xml");
  EXPECT_EQ(du_project_path("/a/b.c/plant"), "/a/b.c/plant.ductora.xml");
  EXPECT_EQ(du_project_path(""), "");
  EXPECT_EQ(du_journal_path("/a/plant.ductora.xml"), "/a/plant.ductora.log");
}

TEST_F(DuctoraTest, SavedProjectReloadsWhole) {
  writeSampleProject(20080105);
  std::string unit = customPart();
  std::string longText(1000, 'x');
  longText += " \xC3\xA5\xC3\xA4\xC3\xB6 <&> \"'  two  blanks\nline\ttab";
  std::string h = ductEnd(4);
  DuProject& p = server.project;
  DuPart* part = du_find_part(p, unit);
  ASSERT_NE(part, nullptr);
  part->description = longText;
  part->soundGeneration = {1, 2, 3, 4, 5, 6, 7, 8.5};
  part->position = DuVec{0.1, -1e-7, 123456.789};
  ASSERT_EQ(du_save(server), DU_OK);

  DuProject reread;
  std::string error;
  ASSERT_EQ(du_project_load(projectFile(), reread, error), 0) << error;
  EXPECT_EQ(reread.version, 20080105);
  ASSERT_EQ(reread.parts.size(), 2u);
  EXPECT_EQ(reread.parts[0].description, longText);
  EXPECT_EQ(reread.parts[0].soundGeneration, part->soundGeneration);
  EXPECT_EQ(reread.parts[0].position.x, 0.1);
  EXPECT_EQ(reread.parts[0].position.y, -1e-7);
  EXPECT_EQ(reread.parts[1].handle, h);
  EXPECT_EQ(reread.parts[1].systemId, 4);
  EXPECT_EQ(reread.systems.size(), 2u);
  EXPECT_EQ(reread.series[0].sizes, (std::vector<std::string>{"100", "125", "160"}));
  EXPECT_EQ(filesIn(folder), 2u);  // project and journal: no temporary file left behind
}

TEST_F(DuctoraTest, FailedSaveKeepsFileAndMemory) {
  writeSampleProject();
  std::string h = ductEnd();
  std::string before = read(projectFile());
  ASSERT_EQ(du_set_number(server, h, "/Part/p_SizingFlow/Pa", 999), DU_OK);
  // A file size limit makes every write of the new project fail, also for root.
  signal(SIGXFSZ, SIG_IGN);
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit tight = old;
  tight.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  long rc = du_drawing_saved(server, drawing.path);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(rc, DU_SAVE);
  EXPECT_NE(server.lastError.find("cannot be written"), std::string::npos);
  EXPECT_EQ(read(projectFile()), before);
  EXPECT_EQ(filesIn(folder), 2u);  // the temporary file is gone
  double n;  // the change waits in memory for the next save
  ASSERT_EQ(du_get_number(server, h, "/Part/p_SizingFlow/Pa", n), DU_OK);
  EXPECT_EQ(n, 999);
  saveDrawing();
  EXPECT_NE(read(projectFile()).find("pressure=\"999\""), std::string::npos);
}

// Before, every set call copied the whole project and rewrote and flushed the whole
// file; and the file's permissions were reset and a link at its name could be followed.
TEST_F(DuctoraTest, ProjectIsWrittenWithTheDrawing) {
  writeSampleProject();
  ASSERT_EQ(chmod(projectFile().c_str(), 0640), 0);
  const std::string before = read(projectFile());
  std::string h = ductEnd();
  ASSERT_EQ(du_set_number(server, h, "/Part/p_SizingFlow/Pa", 999), DU_OK);
  EXPECT_EQ(read(projectFile()), before);
  EXPECT_NE(read(journalFile()).find("SetNumber handle=\"" + h + "\" query=\"/Part/p_SizingFlow/Pa\" value=999 -> 0"),
            std::string::npos);
  // A killed save left its temporary file; its process is gone.
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);
  write(folder + "/.plant.ductora.xml.saving-" + std::to_string(child) + "-aB3dE9xY", "half");
  saveDrawing();
  struct stat st;
  ASSERT_EQ(stat(projectFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_NE(read(projectFile()).find("pressure=\"999\""), std::string::npos);
  EXPECT_EQ(filesIn(folder), 2u);  // project and journal
  // A link planted at the project's name is replaced, its target left alone.
  const std::string target = folder + "/elsewhere.xml";
  write(target, "theirs");
  ASSERT_EQ(du_set_number(server, h, "/Part/p_SizingFlow/Pa", 1000), DU_OK);
  ASSERT_EQ(unlink(projectFile().c_str()), 0);
  ASSERT_EQ(symlink(target.c_str(), projectFile().c_str()), 0);
  saveDrawing();
  EXPECT_EQ(read(target), "theirs");
  ASSERT_EQ(lstat(projectFile().c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST_F(DuctoraTest, UnreadableProjectIsNeverOverwritten) {
  const std::string damaged = "<DuctoraProject version=\"20110101\"><Ductwork><System id=\"x\"/>";
  write(projectFile(), damaged);
  std::string h;
  EXPECT_EQ(du_add_duct_end(server, DuVec{0, 0, 0}, 3, 1, 1, h), DU_NO_PROJECT);
  EXPECT_NE(server.lastError.find("cannot be read"), std::string::npos);
  EXPECT_EQ(read(projectFile()), damaged);
  write(projectFile(), "<DuctoraProject version=\"20110101\"><Ductwork><System id=\"x\"/></Ductwork></DuctoraProject>");
  double n;
  EXPECT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/System)", n), DU_NO_PROJECT);
  EXPECT_NE(server.lastError.find("attribute \"id\""), std::string::npos);
  // A text that is not UTF-8 once read back as other text after a save (found by fuzzing).
  write(projectFile(), "<DuctoraProject><Parts><Part handle=\"8C\" class=\"Connecto\xF0&quot;x\"/></Parts></DuctoraProject>");
  EXPECT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/System)", n), DU_NO_PROJECT);
  EXPECT_NE(server.lastError.find("attribute \"class\""), std::string::npos);
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  write(projectFile(), "<DuctoraProject>" + deep);
  EXPECT_EQ(du_get_number(server, "", "Count(/Project/Ductwork/System)", n), DU_NO_PROJECT);
}

TEST_F(DuctoraTest, ProjectFollowsTheDrawingAndHandEdits) {
  writeSampleProject(20071001);
  EXPECT_EQ(du_version(server), 20071001);
  writeSampleProject(2005087);
  EXPECT_EQ(du_version(server), 2005087);  // edited by hand between two calls
  ductEnd();  // a change not saved yet: the project in memory is the drawing's
  writeSampleProject(20080105);
  EXPECT_EQ(du_version(server), 2005087);
}

TEST_F(DuctoraTest, NewEntityTakesOverAStaleHandle) {
  writeSampleProject();
  std::string first = ductEnd(3);
  drawing.next = 0x100;  // the drawing was not saved: the next entity gets the same handle
  std::string second = ductEnd(4);
  ASSERT_EQ(first, second);
  saveDrawing();
  DuProject reread;
  std::string error;
  ASSERT_EQ(du_project_load(projectFile(), reread, error), 0) << error;
  ASSERT_EQ(reread.parts.size(), 1u);
  EXPECT_EQ(reread.parts[0].systemId, 4);
}

TEST_F(DuctoraTest, ProjectGoesAlongWhenTheDrawingIsSavedUnderANewName) {
  writeSampleProject();
  std::string h = ductEnd();
  drawing.path = folder + "/copy.dxf";  // SAVEAS
  saveDrawing();
  std::string s;
  ASSERT_EQ(du_get_string(server, h, "/Part/Class/Name", s), DU_OK);
  du_journal_flush(server);
  EXPECT_NE(read(folder + "/copy.ductora.log").find("GetString handle=\"" + h + "\""), std::string::npos);
  DuProject copy;
  std::string error;
  ASSERT_EQ(du_project_load(folder + "/copy.ductora.xml", copy, error), 0) << error;
  EXPECT_EQ(copy.parts.size(), 1u);
  // A name that has a project of its own gets that project.
  write(folder + "/third.ductora.xml", "<DuctoraProject version=\"2005087\"/>");
  drawing.path = folder + "/third.dxf";
  EXPECT_EQ(du_version(server), 2005087);
}
