// The command-line host's scripts: a step that does not give what its expect line says stops the run, so that the
// built-in demo's expect lines are checks that can fail; each kind of expectation is tried holding and not holding.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

struct HostRun {
  int status;
  std::string output;
};

// qzhost with the script, against the OCI stand-in's data source HOSTTEST.
HostRun RunScript(const std::string& script) {
  // One file per process: runs of this program in other builds on the machine write theirs at the same time.
  const std::string path = ::testing::TempDir() + "qzhost_script_" + std::to_string(::getpid()) + ".qzs";
  std::ofstream(path) << script;
  const std::string command =
      std::string("QZOCI_DATA_SOURCES=HOSTTEST ") + QZ_HOST_PATH + " --driver " + QZ_DRIVER_PATH + " " + path + " 2>&1";
  HostRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  run.status = pclose(pipe);
  std::remove(path.c_str());
  return run;
}

const char* const kTable =
    "start\n"
    "connect HOSTTEST SYSTEM manager\n"
    "sql CREATE TABLE T (ID NUMBER(10) NOT NULL, NAME VARCHAR2(10))\n"
    "sql CREATE UNIQUE INDEX T_ID ON T (ID)\n"
    "describe T\n"
    "open\n"
    "set ID=1 NAME=one\n"
    "add\n";

TEST(QzhostScript, AnExpectLineThatDoesNotHoldStopsTheRun) {
  struct Case {
    const char* steps;  // after the table's
    bool holds;
    const char* shown;  // what the host prints when it stops
  };
  const Case cases[] = {
      {"expect 1\n", true, ""},
      {"expect 0\n", false, "expected 0, got 1"},
      {"expect ID=1 NAME=one\n", true, ""},
      {"expect ID=1 NAME=two\n", false, "expected NAME=two, got one"},
      {"set ID=1 NAME=again\nadd\nexpect ORA-00001\n", true, ""},
      {"set ID=1 NAME=again\nadd\nexpect ORA-00001 state 4\n", false, "expected ORA-00001 state 4, got ORA-00001"},
      {"set ID=NULL\nadd\nexpect ORA-00001\n", false, "expected ORA-00001, got ORA-01400"},
      {"read first by ID\nexpect ORA-00001\n", false, "got no error"},
      {"set NO_SUCH_FIELD=1\nexpect 1\n", false, "expected 1, got 0"},
      {"no-such-command\n", false, "unknown command no-such-command"},
      // What the driver keeps of a closed connection or of a query's rows outlives the script's steps.
      {"disconnect\nexpect 1\n", true, "close connection HOSTTEST -> 1"},
      {"query Q SELECT ID, NAME FROM T\nread first\nexpect ID=1 NAME=one\n", true, ""},
      // A move that runs off an end is told as such; on a table never read, next starts at the first record.
      {"read next by ID\n", true, "past an end of the rows"},
      {"set ID=2 NAME=two\nadd\ndescribe T as TB\nopen\nread next by ID\nexpect ID=1\nread next by ID\n"
       "read previous by ID\nexpect ID=1\n", true, ""},
      // Every numeric item reads as a number, a date as a date.
      {"sql CREATE TABLE V (F FLOAT, D NUMBER(8,2), W DATE)\n"
       "sql INSERT INTO V VALUES (2.5, 3.25, TO_DATE('2024-01-31 12:34:56', 'YYYY-MM-DD HH24:MI:SS'))\n"
       "query Q SELECT F, D, W FROM V\nread first\nexpect F=2.5 D=3.25 W=2024-01-31T12:34:56.000\n",
       true, ""},
      // Inside a transaction, a read counting from the first sees the transaction's own rows.
      {"set ID=2 NAME=two\nadd\nbegin\nset ID=3 NAME=three\nadd\nread record 3\nexpect ID=3\n", true, ""},
      // An add on a query given as SQL text is refused as such before it locks anything another session holds.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nread first lock\nwith HOSTTEST\n"
       "query Q SELECT ID, NAME FROM T\nread first\nset ID=2\nadd\nexpect 0\n",
       true, "the runtime is told: error 35"},
      // A write or a delete that reaches no row fails: another session deleted it, or held its lock.
      {"connect HOSTTEST SYSTEM manager as B\nsql DELETE FROM T\nsql COMMIT\nuse T\nset NAME=two\nmodify\nexpect 0\n",
       true, "the runtime is told: error 13, state 9"},
      {"connect HOSTTEST SYSTEM manager as B\nsql DELETE FROM T\nsql COMMIT\nuse T\ndelete\nexpect 0\n", true,
       "the runtime is told: error 13, state 9"},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nread first lock\nuse T\nread first lock\n"
       "set NAME=two\nmodify\nexpect ORA-00054 state 1\nuse TB\nunlock\nread first\nexpect NAME=one\n",
       true, ""},
      // A write kept under its lock is committed by the release, found after the record was read again: another
      // session reads it at once, whatever failed under another lock meanwhile.
      {"set ID=2 NAME=two\nadd\nconnect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nuse T\n"
       "read first lock\nset NAME=uno\nmodify locked\nread next lock\nset ID=NULL\nmodify locked\nexpect 0\nunlock\n"
       "read first\nunlock\nuse TB\nread first\nexpect NAME=uno\n",
       true, ""},
      // A seek refused for its value leaves a query's rows read on from the record the context stood on.
      {"set ID=2 NAME=two\nadd\nset ID=3 NAME=three\nadd\nquery Q SELECT ID, NAME FROM T\nread first\nseek ID 2\n"
       "read next\nseek ID abc\nexpect 0\nread previous\nexpect ID=2\nread next\nexpect ID=3\n",
       true, ""},
      // A copy of a query's rows read through another key reads on from where the query stood, after a refused add
      // too, and leaves the query where it stood.
      {"connect HOSTTEST SYSTEM manager as B\nsql INSERT INTO T VALUES (2, 'two')\nsql INSERT INTO T VALUES (3, 'x')\n"
       "sql COMMIT\nwith HOSTTEST\nquery Q SELECT ID, NAME FROM T\nread first by NAME\nread next by NAME\ncopy as C\n"
       "set ID=9\nadd\nexpect 0\nread next by NAME\nexpect ID=3\nuse Q\nread next by NAME\nexpect ID=3\nuse C\n"
       "read previous by NAME\nexpect ID=2\n",
       true, ""},
      // Read through the query's own key, the copy goes on past the rows the query had fetched when it was copied.
      {"connect HOSTTEST SYSTEM manager as B\nsql INSERT INTO T VALUES (2, 'two')\nsql INSERT INTO T VALUES (3, 'x')\n"
       "sql COMMIT\nwith HOSTTEST\nquery Q SELECT ID, NAME FROM T ORDER BY ID\nread first\nread next\ncopy as C\n"
       "use Q\nread next\nexpect ID=3\nuse C\nread next\nexpect ID=3\nread previous\nexpect ID=2\n",
       true, ""},
      // A negative scale adds whole digits: an 18-digit integer of NUMBER(12,-6) reads whole.
      {"sql CREATE TABLE N (ID NUMBER(10), N NUMBER(12,-6))\nsql INSERT INTO N VALUES (1, 999999999999000000)\n"
       "query Q SELECT ID, N FROM N\nread first\nexpect ID=1 N=999999999999000000\n",
       true, ""},
      // An empty BLOB is stored empty through add and modify, not as one zero byte.
      {"sql CREATE TABLE B (ID NUMBER(10) NOT NULL, V BLOB)\nsql CREATE UNIQUE INDEX B_ID ON B (ID)\ndescribe B\nopen\n"
       "set ID=1\nwrite-lob V 0\nadd\nset ID=2\nwrite-lob V 3\nadd\nwrite-lob V 0\nmodify\n"
       "query Q SELECT SUM(LENGTH(V)) AS L FROM B\nread first\nexpect L=0\n",
       true, ""},
      // The pieces of a LONG go to the column the client names: a NULL LONG before it takes none of them.
      {"sql CREATE TABLE L1 (ID NUMBER(10) NOT NULL, A LONG)\nsql CREATE TABLE L2 (ID NUMBER(10) NOT NULL, B LONG)\n"
       "sql CREATE UNIQUE INDEX L2_ID ON L2 (ID)\nsql INSERT INTO L1 VALUES (1, NULL)\ndescribe L2\nopen\nset ID=1\n"
       "write-lob B 30\nadd\nquery Q SELECT L1.ID, A, B FROM L1, L2\nread first\nread-lob A\nread-lob B\nexpect 1\n",
       true, "read A of Q's current record -> 1 (done)\n    no value"},
      // A large value replaced through a record write is stored: another session reads the new one.
      {"sql CREATE TABLE L (ID NUMBER(10) NOT NULL, V LONG)\nsql CREATE UNIQUE INDEX L_ID ON L (ID)\ndescribe L\nopen\n"
       "set ID=1\nwrite-lob V 10\nadd\nwrite-lob V 20\nmodify\nconnect HOSTTEST SYSTEM manager as B\n"
       "describe L as LB\nopen\nread first\nread-lob V\nexpect 1\n",
       true, "20 characters, the same as written"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    const HostRun run = RunScript(std::string(kTable) + c.steps + "stop\n");
    EXPECT_EQ(run.status == 0, c.holds) << run.output;
    EXPECT_NE(run.output.find(c.holds ? "\ndone\n" : "\nstopped\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(c.shown), std::string::npos) << run.output;
  }
}

}  // namespace
