-- The rights on a team bank, for its owner to run in the bank's database after moving the bank
-- there (and again after a table is added), with the two roles named:
--
--   psql -d teambank -v editor=zorbex_editor -v testapp=zorbex_testapp -f scripts/team-bank-grants.sql
--
-- Editors read the bank and write its questions, pools and memos. They may not write the zx_
-- tables: the history, the trash and the search index are written by the bank's own functions,
-- which run with the owner's rights and take the user from the session. The test application
-- reads the questions and memos and writes its answers; no editor writes those.
\set ON_ERROR_STOP on

SELECT format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database()) \gexec
SELECT format('GRANT CONNECT ON DATABASE %I TO %I, %I', current_database(), :'editor', :'testapp') \gexec
REVOKE ALL ON ALL TABLES IN SCHEMA public, zx_user FROM PUBLIC;
REVOKE ALL ON ALL SEQUENCES IN SCHEMA public, zx_user FROM PUBLIC;
GRANT USAGE ON SCHEMA public, zx_user TO :"editor", :"testapp";

-- Editors: everything of the bank to read, the bank's own tables to write, never a zx_ table.
REVOKE ALL ON ALL TABLES IN SCHEMA public, zx_user FROM :"editor";
GRANT SELECT ON ALL TABLES IN SCHEMA public TO :"editor";
SELECT format('GRANT INSERT, UPDATE, DELETE ON public.%I TO %I', tablename, :'editor')
  FROM pg_tables WHERE schemaname = 'public' AND tablename NOT LIKE 'zx\_%' \gexec
SELECT format('GRANT USAGE ON SEQUENCE public.%I TO %I', sequencename, :'editor')
  FROM pg_sequences WHERE schemaname = 'public' AND sequencename NOT LIKE 'zx\_%' \gexec
-- The memos, which the editor imports, and the links' definitions, which it reads.
GRANT SELECT, INSERT, UPDATE, DELETE ON zx_user."tblMemo" TO :"editor";
GRANT SELECT ON zx_user.zx_tabledefs TO :"editor";

-- The test application: the questions to read, its answers to write.
REVOKE ALL ON ALL TABLES IN SCHEMA public, zx_user FROM :"testapp";
SELECT format('GRANT SELECT ON public.%I TO %I', tablename, :'testapp')
  FROM pg_tables WHERE schemaname = 'public' AND tablename NOT LIKE 'zx\_%' \gexec
GRANT SELECT ON zx_user."tblMemo", zx_user.zx_tabledefs TO :"testapp";
GRANT SELECT, INSERT, UPDATE, DELETE ON zx_user."tblAnswer", zx_user."tblSuspend", zx_user."tblAnsBuf" TO :"testapp";
