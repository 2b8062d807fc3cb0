--
-- PostgreSQL database dump
--


-- Dumped from database version 15.18 (Debian 15.18-0+deb12u1)
-- Dumped by pg_dump version 15.18 (Debian 15.18-0+deb12u1)

SET statement_timeout = 0;
SET lock_timeout = 0;
SET idle_in_transaction_session_timeout = 0;
SET client_encoding = 'UTF8';
SET standard_conforming_strings = on;
SELECT pg_catalog.set_config('search_path', '', false);
SET check_function_bodies = false;
SET xmloption = content;
SET client_min_messages = warning;
SET row_security = off;

SET default_tablespace = '';

SET default_table_access_method = heap;

--
-- Name: schema_version; Type: TABLE; Schema: public; Owner: -
--

CREATE TABLE public.schema_version (
    version integer NOT NULL
);


--
-- Name: tests; Type: TABLE; Schema: public; Owner: -
--

CREATE TABLE public.tests (
    id bigint NOT NULL,
    uid character varying(36) NOT NULL,
    kind character varying(8) NOT NULL,
    taken_at character varying(32) NOT NULL,
    taken_ms bigint NOT NULL,
    registration text NOT NULL,
    registration_key text NOT NULL,
    vehicle text NOT NULL,
    company_header text NOT NULL,
    fuel text NOT NULL,
    fuel_code integer NOT NULL,
    mode_flags integer NOT NULL,
    afr_mode integer NOT NULL,
    fahrenheit integer NOT NULL,
    co integer NOT NULL,
    co2 integer NOT NULL,
    hc integer NOT NULL,
    o2 integer NOT NULL,
    nox integer NOT NULL,
    rpm integer NOT NULL,
    oil_temp integer NOT NULL,
    efficiency integer NOT NULL,
    received_co integer NOT NULL,
    received_co2 integer NOT NULL,
    received_hc integer NOT NULL,
    received_o2 integer NOT NULL,
    received_nox integer NOT NULL,
    received_rpm integer NOT NULL,
    received_oil_temp integer NOT NULL,
    received_efficiency integer NOT NULL,
    page text NOT NULL,
    verdict text
);


--
-- Name: test_results; Type: VIEW; Schema: public; Owner: -
--

CREATE VIEW public.test_results AS
 SELECT tests.id,
    tests.kind,
    tests.taken_at,
    tests.registration,
    tests.vehicle,
    tests.company_header,
    tests.fuel,
    round(((tests.co)::numeric / 100.0), 2) AS co_pct,
    round(((tests.co2)::numeric / 10.0), 1) AS co2_pct,
    tests.hc AS hc_ppm,
    round(((tests.o2)::numeric / 100.0), 2) AS o2_pct,
    tests.nox AS nox_ppm,
    tests.rpm,
    round(((tests.oil_temp)::numeric / 10.0), 1) AS oil_temp_c,
        CASE
            WHEN (tests.afr_mode = 0) THEN round(((tests.efficiency)::numeric / 1000.0), 3)
            ELSE NULL::numeric
        END AS lambda,
        CASE
            WHEN (tests.afr_mode <> 0) THEN round(((tests.efficiency)::numeric / 100.0), 2)
            ELSE NULL::numeric
        END AS afr,
        CASE
            WHEN (tests.fahrenheit <> 0) THEN 'F'::text
            ELSE 'C'::text
        END AS oil_temp_unit,
        CASE
            WHEN (tests.afr_mode <> 0) THEN 'afr'::text
            ELSE 'lambda'::text
        END AS efficiency_unit,
    tests.verdict
   FROM public.tests;


--
-- Name: tests_id_seq; Type: SEQUENCE; Schema: public; Owner: -
--

CREATE SEQUENCE public.tests_id_seq
    START WITH 1
    INCREMENT BY 1
    NO MINVALUE
    NO MAXVALUE
    CACHE 1;


--
-- Name: tests_id_seq; Type: SEQUENCE OWNED BY; Schema: public; Owner: -
--

ALTER SEQUENCE public.tests_id_seq OWNED BY public.tests.id;


--
-- Name: tests id; Type: DEFAULT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.tests ALTER COLUMN id SET DEFAULT nextval('public.tests_id_seq'::regclass);


--
-- Data for Name: schema_version; Type: TABLE DATA; Schema: public; Owner: -
--

INSERT INTO public.schema_version VALUES (2);


--
-- Data for Name: tests; Type: TABLE DATA; Schema: public; Owner: -
--

INSERT INTO public.tests VALUES (1, '00000000-0000-4000-8000-000000000001', 'report', '2026-03-02T10:41:07+01:00', 1772444467000, 'SK08 RVX', 'SK08RVX', 'FORD FIESTA, 1.2 é', '=CALL GARAGE', 'PETROL', 1, 0, 0, 0, 150, 145, 120, 50, 80, 850, 900, 1002, 150, 145, 120, 50, 80, 850, 900, 1002, 'EXHAUST EMISSIONS TEST
FUEL TYPE:  PETROL', NULL);
INSERT INTO public.tests VALUES (2, '00000000-0000-4000-8000-000000000002', 'report', '2026-03-02T10:42:07+01:00', 1772444527000, 'ab12cde', 'AB12CDE', 'FORD FIESTA, 1.2 é', '', 'LPG   ', 0, 160, 1, 1, 9999, 999, 9999, 9999, 9999, 3000, 1940, 1550, 12000, 999, 30000, 9999, 9999, 3000, 1940, 1550, 'EXHAUST EMISSIONS TEST
FUEL TYPE:  PETROL', NULL);
INSERT INTO public.tests VALUES (3, '00000000-0000-4000-8000-000000000003', 'check', '2026-03-02T10:43:07+01:00', 1772444587000, 'J123ABC', 'J123ABC', 'FORD FIESTA, 1.2 é', '=CALL GARAGE', 'PETROL', 1, 0, 0, 0, 30, 0, 350, 0, 0, 2800, 812, 1061, 30, 0, 350, 0, 0, 2800, 812, 1061, 'EMISSIONS CHECK CERTIFICATE
Verdict: FAIL', 'fail');
INSERT INTO public.tests VALUES (4, '00000000-0000-4000-8000-000000000004', 'check', '2026-03-02T10:44:07+01:00', 1772444647000, 'J123ABC', 'J123ABC', 'FORD FIESTA, 1.2 é', '=CALL GARAGE', 'CNG   ', 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'EMISSIONS CHECK CERTIFICATE', 'abandoned');


--
-- Name: tests_id_seq; Type: SEQUENCE SET; Schema: public; Owner: -
--

SELECT pg_catalog.setval('public.tests_id_seq', 4, true);


--
-- Name: tests tests_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.tests
    ADD CONSTRAINT tests_pkey PRIMARY KEY (id);


--
-- Name: tests tests_uid_key; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.tests
    ADD CONSTRAINT tests_uid_key UNIQUE (uid);


--
-- Name: tests_by_registration; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX tests_by_registration ON public.tests USING btree (registration_key, taken_ms, id);


--
-- Name: tests_by_time; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX tests_by_time ON public.tests USING btree (taken_ms, id);


--
-- PostgreSQL database dump complete
--


